#pragma once
// The shell's pictures, painted in code: the title band, the tool bar
// icons, the tray icon and the network lights.

#include <QColor>
#include <QIcon>
#include <QWidget>

namespace solvane {

enum class TSectionIcon { BackupRestore, Progress, ShareArea, Tools };

QIcon SectionIcon(TSectionIcon which);
// The program's icon; frame 1 is the second picture of the tray animation.
QIcon ProgramIcon(int frame = 0);

// The title band at the top of the main window.
class TTitlePicture : public QWidget {
  Q_OBJECT
 public:
  explicit TTitlePicture(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {800, 64}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace solvane
