#include "HostWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>

#include "AccessKeys.h"
#include "StringTable.h"

using namespace nimbary;

namespace {

const QColor kBackground(242, 242, 242);

QString KeyedText(text::KeyPlace place, int programId) {
    return QString::fromStdString(text::LoadWithKey(place, programId));
}

}  // namespace

DisplayArea::DisplayArea(PluginLibrary& plugin, QWidget* parent)
    : QWidget(parent), plugin_(plugin) {
    const ZQ0093Size size = plugin_.InitVariant(this);
    setFixedSize(size.Width, size.Height);
    image_ = QImage(size.Width, size.Height, QImage::Format_RGB32);
    image_.fill(kBackground);
    setMouseTracking(true);
}

void DisplayArea::Poll() {
    PluginUnitSet polled{};
    {
        QPainter p(&image_);
        plugin_.ReadMainRecord(&p, &polled);
    }
    if (!plugin_.GetUnit(&units_)) emit UnitsChanged(units_);
    update();
}

void DisplayArea::DeviceRemoved() {
    plugin_.DeviceRemoveDone();
    update();
}

void DisplayArea::paintEvent(QPaintEvent*) {
    {
        QPainter p(&image_);
        p.fillRect(image_.rect(), kBackground);
        plugin_.DrawData(&p, 1);
    }
    QPainter(this).drawImage(0, 0, image_);
}

void DisplayArea::Cursor(int onLegend) {
    setCursor(onLegend ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void DisplayArea::mouseMoveEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    Cursor(plugin_.OnMouseMove(0, at.x(), at.y()));
}

void DisplayArea::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint at = e->position().toPoint();
    int hit;
    {
        QPainter p(&image_);
        hit = plugin_.OnLButtonDown(0, at.x(), at.y(), &p);
    }
    Cursor(hit);
    if (hit) update();
}

void DisplayArea::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    Cursor(plugin_.OnLButtonUp(0, at.x(), at.y()));
}

HostWindow::HostWindow(PluginLibrary& plugin, const HostStrings& strings)
    : plugin_(plugin), strings_(strings) {
    setWindowTitle(QStringLiteral("zq0093-host"));
    display_ = new DisplayArea(plugin_, this);
    setCentralWidget(display_);
    plugin_.InitLanguage(strings_.Module());

    // The program's menus and keys, as far as the host has them.
    using text::KeyPlace;
    QMenu* file = menuBar()->addMenu(KeyedText(KeyPlace::MenuBar, 2103));
    file->addAction(KeyedText(KeyPlace::FileMenu, 2104), this, &QWidget::close)
        ->setShortcut(QKeySequence::Quit);
    QMenu* edit = menuBar()->addMenu(KeyedText(KeyPlace::MenuBar, 2106));
    edit->addAction(KeyedText(KeyPlace::EditMenu, 2107), this, [this] { Open(Dialog::Setting); });
    edit->addAction(KeyedText(KeyPlace::EditMenu, 2108), this, [this] { Open(Dialog::Alarm); });
    edit->addAction(KeyedText(KeyPlace::EditMenu, 2109), this, [this] { Open(Dialog::MaxMin); });

    units_ = new QLabel(this);
    statusBar()->addPermanentWidget(units_);
    connect(display_, &DisplayArea::UnitsChanged, this, &HostWindow::ShowUnits);
    connect(&poll_, &QTimer::timeout, display_, &DisplayArea::Poll);
    poll_.start(1000);
}

int HostWindow::Open(Dialog d) {
    const ZQ0093HostModule* m = strings_.Module();
    int rc = ZQ0093_IDCANCEL;
    switch (d) {
        case Dialog::Setting:
            rc = plugin_.ShowSetting(m, 0);
            break;
        case Dialog::Alarm:
            rc = plugin_.ShowAlarm(m);
            break;
        case Dialog::MaxMin:
            rc = plugin_.ShowMaxMin(m);
            break;
    }
    display_->update();
    return rc;
}

void HostWindow::ShowUnits(const PluginUnitSet& u) {
    static const char* const baro[] = {"hPa", "inHg", "mmHg"};
    static const char* const wind[] = {"m/s", "km/h", "mph", "knots", "bft"};
    auto pick = [](const char* const* names, int n, int code) {
        return QString::fromUtf8(names[code >= 0 && code < n ? code : 0]);
    };
    units_->setText(QStringLiteral("%1, %2, %3, %4")
                        .arg(u.Temperature == 1 ? QStringLiteral("°C") : QStringLiteral("°F"),
                             pick(baro, 3, u.Pressure), pick(wind, 5, u.Wind),
                             u.Rain == 1 ? QStringLiteral("in") : QStringLiteral("mm")));
}
