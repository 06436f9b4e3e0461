// The About box's widgets.
#include "window/AboutDlg.h"

#include "window/DialogLook.h"
#include "window/TarvixIcon.h"
#include "window/WindowTexts.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kWidthDlu = 235;
constexpr int kHeightDlu = 55;
constexpr int kIconPixels = 32;
constexpr int kIdOk = 1;
}  // namespace

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Utf8(wnd::kAboutCaption));
  setFont(DialogFont({QStringLiteral("굴림")}));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);

  auto* icon = new QLabel(this);
  icon->setPixmap(TarvixIcon().pixmap(kIconPixels, kIconPixels));
  auto* program = new QLabel(Utf8(wnd::kAboutProgram), this);
  auto* version = new QLabel(Utf8(wnd::kAboutVersion), this);
  auto* ok = new QPushButton(Utf8(wnd::kAboutOk), this);
  ok->setObjectName(QString::number(kIdOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &AboutDlg::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(program, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(ok, 0, 2, Qt::AlignTop);
  grid->setColumnStretch(1, 1);

  const QSize templateSize = DialogUnitsToPixels(font(), kWidthDlu, kHeightDlu);
  setFixedSize(templateSize.expandedTo(sizeHint()));
}
