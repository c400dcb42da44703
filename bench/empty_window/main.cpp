// The baseline of the start-up benchmark: the least a Qt Widgets program
// does to show a window. Arguments are ignored, so that it can be started
// with the same command line as the program it is measured against.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle("empty window");
  window.resize(640, 480);
  window.show();
  return app.exec();
}
