// The main window.
#include "ui/qt/tokiren_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "ui/behaviour/captions.h"
#include "ui/qt/compact_path.h"

// The icon's pictures (ui/resources/tokiren.qrc) live in this static library, which the linker
// would otherwise leave out: Q_INIT_RESOURCE, outside any namespace, brings them in.
static void InitResources() { Q_INIT_RESOURCE(tokiren); }

namespace tokiren::ui {

using namespace tokiren::behaviour;  // the captions and tool tips (the k... texts)
namespace {

// The sizes of the program's icon (ui/resources/make_icons.py), a picture each.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

void MoveTop(QWidget* panel, int twips) { panel->move(panel->x(), Pixels(twips)); }

}  // namespace

Tokiren::Tokiren(std::string appPath, behaviour::CaptureTimeReaderMaker makeCaptureTimes,
                 Dialogs* dialogs)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ownDialogs_(dialogs ? nullptr : std::make_unique<WindowDialogs>(this)),
      dialogs_(dialogs ? *dialogs : *ownDialogs_),
      progress_(this),
      behaviour_(*this, std::move(appPath), std::move(makeCaptureTimes)) {
  setFont(WindowFont());  // before the controls, which inherit it
  c_ = BuildControls(this, behaviour_.OffersTaken());
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  InitResources();
  QIcon icon;
  for (const int size : kIconSizes) {
    icon.addFile(QStringLiteral(":/tokiren/tokiren-%1.png").arg(size), QSize(size, size));
  }
  setWindowIcon(icon);

  setFixedSize(Pixels(kClientWidthTwips), Pixels(kClientHeightTwips));
  MoveTop(c_.FrameRunning, kPanelTopTwips);
  MoveTop(c_.FrameStart, kPanelTopTwips);
  MoveTop(c_.FrameOptions, kOptionsTopTwips);
  behaviour_.Start();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  behaviour::Window& b = behaviour_;
  connect(c_.Command8, &QPushButton::clicked, this, [&b] { b.OptionsClicked(); });
  connect(c_.Command6, &QPushButton::clicked, this, [&b] { b.SetClicked(); });
  connect(c_.Command2, &QPushButton::clicked, this, [&b] { b.BackClicked(); });
  connect(c_.Command3, &QPushButton::clicked, this,
          [this, &b] { b.AddClicked(c_.Text1->text().toStdString()); });
  // Enter in the box adds what was typed, as "<<<" does.
  connect(c_.Text1, &QLineEdit::returnPressed, this,
          [this, &b] { b.AddClicked(c_.Text1->text().toStdString()); });
  connect(c_.List1, &QListWidget::itemChanged, this, [this, &b](QListWidgetItem* item) {
    b.ExtensionChecked(c_.List1->row(item), item->checkState() == Qt::Checked);
  });
  // Remove (the context menu, or Delete) acts on the current entry, and is enabled only for one
  // the list lets go.
  connect(c_.List1, &QListWidget::currentRowChanged, this,
          [this, &b](int row) { c_.RemoveEntry->setEnabled(b.MayRemoveExtension(row)); });
  c_.RemoveEntry->setEnabled(b.MayRemoveExtension(c_.List1->currentRow()));
  connect(c_.RemoveEntry, &QAction::triggered, this,
          [this, &b] { b.RemoveClicked(c_.List1->currentRow()); });
  connect(c_.Command7, &QPushButton::clicked, this, [&b] { b.FolderClicked(); });
  connect(c_.Command7, &DropButton::dropped, this,
          [&b](const std::vector<behaviour::DroppedItem>& items) { b.FolderDropped(items); });
  connect(c_.Command4, &QPushButton::clicked, this, [&b] { b.KeepFolderClicked(); });
  connect(c_.Command1, &QPushButton::clicked, this,
          [this, &b] { b.RunClicked(CurrentOptionControls()); });
  connect(c_.Command5, &QPushButton::clicked, this, [&b] { b.ResetClicked(); });
  connect(c_.Command9, &QPushButton::clicked, this,
          [this, &b] { b.PreviewClicked(CurrentOptionControls()); });
}

behaviour::OptionControls Tokiren::CurrentOptionControls() const {
  behaviour::OptionControls options;
  options.CheckSep = c_.CheckSep->isChecked();
  options.Check1 = c_.Check1->isChecked();
  options.Option2 = c_.Option2->isChecked();
  // Option3 is made only where the behaviour offers Taken.
  options.Option3 = c_.Option3 && c_.Option3->isChecked();
  options.Check2 = c_.Check2->isChecked();
  options.Text2 = c_.Text2->text().toStdString();
  return options;
}

void Tokiren::ShowPanel(behaviour::Panel panel) {
  c_.FrameStart->setVisible(panel == behaviour::Panel::kStart);
  c_.FrameRunning->setVisible(panel == behaviour::Panel::kRunning);
  c_.FrameOptions->setVisible(panel == behaviour::Panel::kOptions);
}

void Tokiren::InsertExtension(int row, const std::string& text) {
  auto* item = new QListWidgetItem(Text(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  c_.List1->insertItem(row, item);
}

void Tokiren::RemoveExtension(int row) { delete c_.List1->takeItem(row); }

void Tokiren::SelectTypedExtension() {
  c_.Text1->selectAll();
  c_.Text1->setFocus();
}

void Tokiren::SetFolderButtonEnabled(bool enabled) { c_.Command7->setEnabled(enabled); }

void Tokiren::SetFolderLabel(const std::string& path) {
  CompactPathDisp(c_.Label3, Text(path), kPathEllipsis);
}

void Tokiren::ShowMessage(behaviour::MessageIcon icon, const std::string& title,
                          const std::string& text, const std::string& details) {
  dialogs_.ShowMessage(
      icon == behaviour::MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::Information,
      Text(title), Text(text), Text(details));
}

std::string Tokiren::ChooseFolder(const std::string& start) {
  return dialogs_.ChooseFolder(Text(start)).toStdString();
}

void Tokiren::ShowProgress(std::uint64_t done, std::uint64_t total, bool cancellable) {
  progress_.Show(done, total, cancellable);
}

bool Tokiren::ProgressCancelled() { return progress_.Cancelled(); }

void Tokiren::HideProgress() { progress_.Hide(); }

void Tokiren::Close() { close(); }

void Tokiren::ShowPreview(const behaviour::Preview& preview) { dialogs_.ShowPreview(preview); }

void Tokiren::closeEvent(QCloseEvent* event) {
  if (behaviour_.MayClose()) {
    event->accept();
  } else {
    event->ignore();  // a run goes to its end; the window closes then
  }
}

}  // namespace tokiren::ui
