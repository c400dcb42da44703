// Everything the main window shows that the logic decides: texts, the
// visible panel, menu marks, enabled flags, focus and the run panel. The
// operations and the session's refresh write it; the Qt window only renders
// it; tests read it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/filesystem.h"

namespace kelvo {

enum class Panel { None, Source, Skip, Diz, Nfo, Zip, Run, About };
enum class FocusBox { None, DizColumn, DizLine, ZipBaseName };
enum class BoxColour { ButtonFace, Window };
enum class SkipBrowseKind { SubDir, File };
enum class NavGroup { Main, Help };
// How the last run ended, so that the run panel can mark a failure as one.
enum class RunEnd { None, Complete, Aborted, Failed };

// A text file as its preview shows it. It is read again only when its path
// or the file's version changes, so that a large NFO costs nothing per
// render.
struct TextSnapshot {
  std::string path;
  std::optional<host::FileSystem::Version> version;
  bool read = false;
  std::string problem;             // why nothing is shown; empty when read
  std::vector<std::string> lines;  // bytes without their line ends
  std::size_t widest = 0;          // the longest line's byte count
  // The first of the lines the program adds to its copy; lines.size() when
  // none are added.
  std::size_t addedFrom = 0;
  std::string note;  // what the copy does to the text, under the preview

  bool operator==(const TextSnapshot&) const = default;
};

// A run of cells of one line, 0-based.
struct PreviewSpan {
  std::size_t line = 0;
  std::size_t column = 0;
  std::size_t length = 0;

  bool operator==(const PreviewSpan&) const = default;
};

// What a text preview shows beside its snapshot's lines, as the session's
// refresh figured it from the job (texts/text_preview.h).
struct TextPreviewState {
  // Shown instead of the text: no file chosen, or why it can't be read.
  std::string problem;
  // The DIZ: the stamp and its line as the run writes it.
  std::optional<PreviewSpan> stamp;
  std::string stampedLine;
  // Why no stamp is shown, and where: "Column number too high" on its line,
  // "Line number too high" below the last line.
  std::string reason;
  std::optional<PreviewSpan> reasonAt;
  // One line under the preview: the stamp and its place, the reason, or what
  // the copy does to the NFO.
  std::string note;

  bool operator==(const TextPreviewState&) const = default;
};

struct ViewState {
  std::string WindowTitle = "Kelvo32";
  Panel VisiblePanel = Panel::Source;
  std::string PanelHeader = " Source";
  Panel CheckedMenuItem = Panel::None;  // a panel item of "menu", or Run for "&Kelvo"
  // A request for the focus, handed to the window once by the session after
  // its render (Session::Show), which clears it.
  FocusBox Focus = FocusBox::None;
  bool NavigationBarEnabled = true;
  bool BusyPointer = false;
  bool WindowMinimised = false;  // the window mirrors a minimise or restore by the user here
  // The archiver's percentage while it runs, -1 otherwise: the minimised
  // window's title leads with it.
  int TitleProgress = -1;
  NavGroup OpenNavGroup = NavGroup::Main;  // the navigation bar's open group
  // Why the last drop on the window was refused; cleared by a panel switch.
  std::string DropNotice;

  // Source panel.
  std::string SourceSizeText = "- Source size -";
  bool SourceBrowseEnabled = true;
  std::string WorkDriveShown = "c:";  // the drive list's entry; its first character is the letter
  std::string WorkDriveFreeText = "Free space on -";

  // Skip panel.
  SkipBrowseKind SkipKind = SkipBrowseKind::SubDir;

  // Diz panel.
  BoxColour DizBoxColour = BoxColour::ButtonFace;
  bool DizTestEnabled = false;
  int DizPreviewZip = 0;  // the zip whose stamp the preview shows; 0 the check's sample
  TextSnapshot DizText;
  TextPreviewState DizPreview;

  // Nfo panel.
  bool ExtraBrowseEnabled = false;
  TextSnapshot NfoText;
  TextPreviewState NfoPreview;

  // Zip panel.
  std::string ArchiveSizeText = "1.44 M";
  std::string EstimateText;
  // The source size the estimate was last figured for, and whether one
  // volume or less reads as after a new source ("1.00 file") or as after a
  // new archive size (" 1.00 file").
  float EstimateSourceSize = 0.0f;
  bool EstimateForNewSource = false;
  int BaseNameLimit = 6;
  std::string ZipDriveFreeText = "Free space: ";
  // At the floppy's archive size: the largest zip of the job, and a warning
  // when it does not fit the floppy (RefreshZipFit); empty otherwise.
  std::string ZipFitText;
  std::string ZipFitWarning;
  std::string ZipFitInputs;  // the fields the figure was made from

  // Why "PAR&2" can't be chosen on this computer (par2 is missing); empty
  // when it can. Looked up once at start-up.
  std::string RecoveryUnavailable;

  // The zip-only controls: the Skip, Diz and Nfo panels, the zip-storage
  // "&Browse" and "Zip E&xtra".
  bool ZipControlsEnabled = true;

  // Run panel.
  std::string StatusLine;
  std::string CurrentZipLine;
  std::string CounterLine;
  int Progress = 0;
  // From the start of a run to its end; "&Abort" acts only then.
  bool RunInProgress = false;
  RunEnd RunEnding = RunEnd::None;  // None while a run is in progress
  // Where the last run's volumes stay when its work folder was kept (an
  // abort or failure in the zip step, or a set without zips); empty
  // otherwise, and from the start of a run.
  struct VolumesPlace {
    std::string folder;      // DOS path
    std::string hostFolder;  // the same folder as the user finds it
    bool operator==(const VolumesPlace&) const = default;
  };
  VolumesPlace LeftVolumes;
  // The last run ended early and left its set's record in its work folder:
  // "&Resume" can finish the set. False from the start of a run.
  bool Resumable = false;
  // The job's set (zip directory, base name, work drive) Resumable was last
  // looked up for: a window opened on a job whose run was cut off offers to
  // finish it without a run first.
  std::string ResumableFor;

  // Where each path the panels show lies on this computer, for their
  // tooltips: the job keeps DOS paths, a person looks for host ones.
  struct HostPaths {
    std::string source, diz, nfo, extra, zipStorage;
    bool operator==(const HostPaths&) const = default;
  };
  HostPaths HostPathsShown;
  // The DOS paths they were looked up for: an action that leaves these
  // alone needs no lookup on disk.
  HostPaths HostPathsFor;

  // About panel.
  std::string MarqueeText;  // set at start-up
  bool MarqueeVisible = false;

  bool operator==(const ViewState&) const = default;
};

// The title the window shows: WindowTitle, after the percentage while the
// window is minimised during the archiver ("37% Kelvo32 - orbit.kvo").
std::string ShownWindowTitle(const ViewState& view);

// The header text of a panel (" Source", " Kelvo!", ...), from the panel
// table (core/panel_table.h).
std::string PanelHeaderText(Panel panel);

// The panel switch: clears the menu marks, hides every panel, shows one
// setting panel, checks its menu item and sets the header.
void ShowPanel(ViewState& view, Panel panel, FocusBox focus = FocusBox::None);

}  // namespace kelvo
