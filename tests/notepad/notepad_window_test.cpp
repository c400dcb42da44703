#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "editor/notepad_window.h"
#include "editor/open_editor.h"
#include "support/temp_drives.h"
#include "texts/diz_numbering.h"
#include "texts/text_files.h"

namespace kelvo::notepad {

// Answers the message boxes the window opens, in order, and keeps their texts.
class BoxAnswers {
 public:
  explicit BoxAnswers(std::deque<QMessageBox::StandardButton> answers)
      : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box == last_ || answers_.empty()) return;
      last_ = box;
      texts.push_back(box->text());
      box->button(answers_.front())->click();
      answers_.pop_front();
    });
    timer_.start(5);
  }
  std::vector<QString> texts;

 private:
  std::deque<QMessageBox::StandardButton> answers_;
  QPointer<QMessageBox> last_;
  QTimer timer_;
};

// Opens the writing end of a FIFO after a while unless released first: a
// reader stuck opening it then gets end-of-file instead of hanging the test.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(std::string fifo)
      : thread_([this, fifo = std::move(fifo)] {
          std::unique_lock lock(mutex_);
          if (released_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; })) return;
          fired_ = true;
          int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (fd >= 0) ::close(fd);
        }) {}
  ~FifoWatchdog() {
    Release();
    thread_.join();
  }
  // Whether it had to let a waiting reader go.
  bool Release() {
    std::lock_guard lock(mutex_);
    done_ = true;
    released_.notify_all();
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool done_ = false;
  bool fired_ = false;
  std::thread thread_;
};

class NotepadWindowTest : public ::testing::Test {
 protected:
  // A window on a file holding `bytes`.
  NotepadWindow& Open(const std::string& bytes, const std::string& name = "art.nfo") {
    path_ = drives_.Host('d', name);
    testing::TempDrives::WriteFile(path_, bytes);
    window_ = std::make_unique<NotepadWindow>(path_, "d:\\" + QString::fromStdString(name), bytes);
    return *window_;
  }
  std::string Saved() {
    EXPECT_EQ(window_->Save(), "");
    EXPECT_FALSE(window_->Modified());
    return testing::TempDrives::ReadFile(path_);
  }
  // The cursor at a 1-based line and character.
  QTextCursor At(int line, int column) {
    QTextBlock block = window_->Area()->document()->findBlockByNumber(line - 1);
    EXPECT_TRUE(block.isValid());
    QTextCursor c(block);
    c.setPosition(block.position() + column - 1);
    window_->Area()->setTextCursor(c);
    return c;
  }
  void Replace(int line, int column, const QString& text) {
    QTextCursor c = At(line, column);
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    c.insertText(text);
  }
  // An edit that leaves the text as it was but marks it changed.
  void TouchAndUndoByHand() {
    QTextCursor c = At(1, 1);
    c.insertText("Z");
    c.deletePreviousChar();
    EXPECT_TRUE(window_->Modified());
  }

  testing::TempDrives drives_;
  std::string path_;
  std::unique_ptr<NotepadWindow> window_;
};

TEST_F(NotepadWindowTest, EveryByteValueSurvivesOpenAndSave) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += char(b);
  bytes += "\r\n\x1A\xFF\xA0 \r\n";
  for (View view : {View::Cp437, View::Latin1, View::Utf8}) {
    auto& w = Open(bytes);
    w.SetView(view);
    EXPECT_EQ(w.Bytes(), bytes);
    TouchAndUndoByHand();
    EXPECT_EQ(Saved(), bytes);
  }
}

TEST_F(NotepadWindowTest, OneEditedCharacterChangesOneByte) {
  std::string nfo =
      "\xC9\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBB\r\n"
      "\xBA \xDB\xDB\xB2\xB1\xB0 \xBA\r\n"
      "\xBA rel\x1A\x80s \xBA\r\n"
      "\xC8\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBC\r\n";
  auto& w = Open(nfo);
  Replace(3, 5, "X");  // the 'l' of "rel"
  std::string expected = nfo;
  expected[nfo.find("rel") + 2] = 'X';
  EXPECT_EQ(w.Bytes(), expected);
  // Typed as its CP437 glyph, a shade byte lands as that byte.
  Replace(2, 3, QString(QChar(0x2593)));
  expected[nfo.find('\xDB')] = '\xB2';
  EXPECT_EQ(Saved(), expected);
}

TEST_F(NotepadWindowTest, LineEndsStayAsTheyWere) {
  struct Case {
    std::string bytes, edited, withNewLine;
  };
  // A new line takes the file's usual line end, DOS when undecided.
  for (const Case& c : {
           Case{"one\r\ntwo\r\nthree\r\n", "one\r\ntWo\r\nthree\r\n",
                "one\r\n+\r\ntWo\r\nthree\r\n"},
           Case{"one\ntwo\nthree\n", "one\ntWo\nthree\n", "one\n+\ntWo\nthree\n"},
           Case{"one\r\ntwo\nthree\r\n", "one\r\ntWo\nthree\r\n", "one\r\n+\r\ntWo\nthree\r\n"},
           Case{"one\ntwo\r\nthree", "one\ntWo\r\nthree", "one\n+\r\ntWo\r\nthree"},
           Case{"one\ntwo\nthree", "one\ntWo\nthree", "one\n+\ntWo\nthree"},
       }) {
    auto& w = Open(c.bytes);
    Replace(2, 2, "W");
    EXPECT_EQ(w.Bytes(), c.edited);
    EXPECT_EQ(Saved(), c.edited);
    At(1, 4).insertText("\n+");
    EXPECT_EQ(Saved(), c.withNewLine);
  }
}

TEST_F(NotepadWindowTest, ViewsSwitchWithoutLosingEdits) {
  auto& w = Open("\xB0\xDB text\r\nline\n");
  Replace(1, 4, "T");
  w.SetView(View::Latin1);
  EXPECT_EQ(w.Area()->document()->firstBlock().text(), QString::fromLatin1("\xB0\xDB Text"));
  w.SetView(View::Utf8);
  // Not UTF-8: shown, but not to be edited.
  EXPECT_TRUE(w.Area()->isReadOnly());
  EXPECT_EQ(w.Bytes(), "\xB0\xDB Text\r\nline\n");
  w.SetView(View::Cp437);
  EXPECT_FALSE(w.Area()->isReadOnly());
  EXPECT_TRUE(w.Modified());
  EXPECT_EQ(Saved(), "\xB0\xDB Text\r\nline\n");
}

TEST_F(NotepadWindowTest, FailedSaveKeepsTheTextAndSaysWhy) {
  auto& w = Open("abc\r\n");
  Replace(1, 2, "X");
  testing::TempDrives::WriteFile(path_, "abc\r\n");
  std::string blocked = drives_.Host('d', "gone/art.nfo");
  NotepadWindow other(blocked, "d:\\gone\\art.nfo", "abc\r\n");
  QTextCursor c(other.Area()->document());
  c.insertText("Y");
  EXPECT_NE(other.Save().find("No such file"), std::string::npos);
  EXPECT_TRUE(other.Modified());
  EXPECT_EQ(other.Bytes(), "Yabc\r\n");
  EXPECT_EQ(w.Bytes(), "aXc\r\n");
  // Nothing changed on disk until saved.
  EXPECT_EQ(testing::TempDrives::ReadFile(path_), "abc\r\n");
}

TEST_F(NotepadWindowTest, ClosingAsksAboutUnsavedChanges) {
  auto& w = Open("abc\r\n");
  w.show();
  {
    BoxAnswers none({});
    EXPECT_TRUE(w.close());  // nothing changed: no question
    EXPECT_TRUE(none.texts.empty());
  }
  w.show();
  Replace(1, 1, "X");
  {
    BoxAnswers cancel({QMessageBox::Cancel});
    EXPECT_FALSE(w.close());
    EXPECT_EQ(cancel.texts.size(), 1u);
    EXPECT_TRUE(w.Modified());
  }
  {
    // Saving fails (a directory took the file's place): told why, and the
    // window stays with its text.
    ::unlink(path_.c_str());
    ::mkdir(path_.c_str(), 0755);
    BoxAnswers save({QMessageBox::Save, QMessageBox::Ok});
    EXPECT_FALSE(w.close());
    ::rmdir(path_.c_str());
    testing::TempDrives::WriteFile(path_, "abc\r\n");
    ASSERT_EQ(save.texts.size(), 2u);
    EXPECT_TRUE(save.texts[1].contains("Is a directory")) << save.texts[1].toStdString();
    EXPECT_TRUE(w.Modified());
    EXPECT_EQ(w.Bytes(), "Xbc\r\n");
  }
  {
    BoxAnswers discard({QMessageBox::Discard});
    EXPECT_TRUE(w.close());
    EXPECT_EQ(testing::TempDrives::ReadFile(path_), "abc\r\n");
  }
  w.show();
  Replace(1, 2, "Y");
  {
    BoxAnswers save({QMessageBox::Save});
    EXPECT_TRUE(w.close());
    EXPECT_EQ(testing::TempDrives::ReadFile(path_), "XYc\r\n");
  }
}

TEST_F(NotepadWindowTest, NewFileIsMadeOnSave) {
  std::string path = drives_.Host('d', "new.diz");
  NotepadWindow w(path, "d:\\new.diz", "");
  // The title names the DOS path and where it lies here, marked once changed.
  const QString where = "d:\\new.diz (" + QString::fromStdString(path) + ") - Notepad";
  EXPECT_EQ(w.windowTitle(), where);
  w.Area()->insertPlainText("x");
  EXPECT_EQ(w.windowTitle(), "*" + where);
  w.Area()->undo();
  EXPECT_FALSE(testing::TempDrives::FileExists(path));
  EXPECT_EQ(w.Save(), "");
  EXPECT_EQ(testing::TempDrives::ReadFile(path), "");
}

TEST_F(NotepadWindowTest, GuideCanBeTurnedOn) {
  auto& w = Open("x\r\n");
  EXPECT_EQ(w.Area()->Guide(), 0);
  w.SetGuide(true);
  EXPECT_EQ(w.Area()->Guide(), 45);
  w.SetGuide(false);
  EXPECT_EQ(w.Area()->Guide(), 0);
}

// Starting the editor: the path from argv through the drive table.
class NotepadOpenTest : public ::testing::Test {
 protected:
  std::unique_ptr<NotepadWindow> Start(std::vector<std::string> args,
                                       std::deque<QMessageBox::StandardButton> answers = {}) {
    BoxAnswers boxes(std::move(answers));
    auto window = OpenEditor(args, app.fs, status);
    texts = boxes.texts;
    return window;
  }
  std::string Host(const std::string& dos) { return *app.fs.HostPath(dos); }

  testing::TestApp app;
  int status = -1;
  std::vector<QString> texts;
};

TEST_F(NotepadOpenTest, ArgvFormsOpenTheFile) {
  ::mkdir(Host("d:\\my rel").c_str(), 0755);
  testing::TempDrives::WriteFile(Host("d:\\my rel\\file_id.diz"), "\xDB diz\r\n");
  // Unquoted: split at the blank, the trailing blank gone.
  auto w = Start({"d:\\my", "rel\\file_id.diz"});
  ASSERT_TRUE(w);
  EXPECT_EQ(w->Bytes(), "\xDB diz\r\n");
  EXPECT_TRUE(texts.empty());
  // Quoted: one argument.
  w = Start({"D:\\MY REL\\FILE_ID.DIZ"});
  ASSERT_TRUE(w);
  EXPECT_EQ(w->Bytes(), "\xDB diz\r\n");
  QTextCursor(w->Area()->document()).insertText("+");
  EXPECT_EQ(w->Save(), "");
  EXPECT_EQ(testing::TempDrives::ReadFile(Host("d:\\my rel\\file_id.diz")), "+\xDB diz\r\n");
}

TEST_F(NotepadOpenTest, MissingFileIsOfferedAndMadeOnlyOnSave) {
  std::string host = Host("d:\\new.nfo");
  EXPECT_FALSE(Start({"d:\\new.nfo"}, {QMessageBox::No}));
  EXPECT_EQ(status, 0);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].contains("d:\\new.nfo"));
  auto w = Start({"d:\\new.nfo"}, {QMessageBox::Yes});
  ASSERT_TRUE(w);
  EXPECT_FALSE(testing::TempDrives::FileExists(host));
  EXPECT_EQ(w->Save(), "");
  EXPECT_EQ(testing::TempDrives::ReadFile(host), "");
}

TEST_F(NotepadOpenTest, BadInputIsRefusedOrWarnedAbout) {
  EXPECT_FALSE(Start({}, {QMessageBox::Ok}));
  EXPECT_EQ(status, 1);
  EXPECT_EQ(texts.size(), 1u);

  std::string big(kMaxFileBytes + 1, '\xB0');
  testing::TempDrives::WriteFile(Host("d:\\big.nfo"), big);
  EXPECT_FALSE(Start({"d:\\big.nfo"}, {QMessageBox::Ok}));
  EXPECT_EQ(status, 1);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].contains("too large")) << texts[0].toStdString();
  EXPECT_EQ(testing::TempDrives::ReadFile(Host("d:\\big.nfo")), big);

  std::string binary = std::string(64, '\0') + "\x1A\xFF\r\nxy";
  testing::TempDrives::WriteFile(Host("d:\\data.bin"), binary);
  auto w = Start({"d:\\data.bin"}, {QMessageBox::Ok});
  ASSERT_TRUE(w);
  EXPECT_EQ(texts.size(), 1u);
  EXPECT_EQ(w->Bytes(), binary);
}

TEST_F(NotepadOpenTest, PipeOrFolderIsRefusedByWhatItIs) {
  ASSERT_EQ(::mkfifo(Host("d:\\pipe.nfo").c_str(), 0600), 0);
  {
    FifoWatchdog watchdog(Host("d:\\pipe.nfo"));
    EXPECT_FALSE(Start({"d:\\pipe.nfo"}, {QMessageBox::Ok}));
    EXPECT_FALSE(watchdog.Release()) << "opening waited for a writer";
  }
  EXPECT_EQ(status, 1);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].contains("d:\\pipe.nfo")) << texts[0].toStdString();
  EXPECT_TRUE(texts[0].contains("named pipe (FIFO), not a regular file")) << texts[0].toStdString();

  ::mkdir(Host("d:\\art").c_str(), 0755);
  EXPECT_FALSE(Start({"d:\\art"}, {QMessageBox::Ok}));
  EXPECT_EQ(status, 1);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].contains("Is a directory")) << texts[0].toStdString();
}

// The numbering's line and column, read off the editor at its stamp.
class NotepadStampTest : public ::testing::Test {
 protected:
  testing::TestApp app;
  Context& ctx = app.ctx;
};

TEST_F(NotepadStampTest, CursorAtTheStampShowsTheNumberingPosition) {
  std::string diz =
      "\xDB\xDB\xB2\xB1\xB0 KELVO \xB0\xB1\xB2\xDB\xDB\r\n"
      "\xC9\xCD\xCD\xBB\r\n"
      "\xBA\x80\x81\x82 tabs\there and a \x1A and more text to reach far columns ...\xBA\r\n"
      "last line\r\n";
  struct Place {
    int line, column;
  };
  for (Place p : {Place{1, 1}, Place{3, 12}, Place{3, 45}, Place{4, 3}}) {
    testing::TempDrives::WriteFile(*app.fs.HostPath("d:\\rel\\file_id.diz"), diz);
    ctx.job.DizPath = "d:\\rel\\file_id.diz";
    ctx.job.DizNumbering = true;
    ctx.job.DizLine = std::to_string(p.line);
    ctx.job.DizColumn = std::to_string(p.column);
    ctx.run.VolumeNumber = 7;
    ctx.run.VolumeCount = 12;
    texts::StampDiz(ctx);
    std::string stamped = testing::TempDrives::ReadFile(*app.fs.HostPath(texts::DizWorkCopy(ctx)));

    NotepadWindow w("", "file_id.diz", stamped);
    QTextCursor found = w.Area()->document()->find("07/12");
    ASSERT_FALSE(found.isNull()) << p.line << ":" << p.column;
    found.setPosition(found.selectionStart());
    w.Area()->setTextCursor(found);
    EXPECT_EQ(w.Position(), QString("Ln %1, Col %2").arg(p.line).arg(p.column));
  }
}

}  // namespace kelvo::notepad
