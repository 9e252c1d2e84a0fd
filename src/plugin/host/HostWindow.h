#pragma once

#include <QImage>
#include <QMainWindow>
#include <QTimer>

#include "HostStrings.h"
#include "PluginLibrary.h"

class QLabel;

// The host's display: the plug-in draws into it, polls the station once a
// second and hears of the mouse.
class DisplayArea : public QWidget {
    Q_OBJECT
public:
    DisplayArea(PluginLibrary& plugin, QWidget* parent);
    // One poll; repaints afterwards.
    void Poll();
    // A device went: the plug-in forgets the station until a poll finds it again.
    void DeviceRemoved();

signals:
    void UnitsChanged(const PluginUnitSet& units);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Cursor(int onLegend);

    PluginLibrary& plugin_;
    QImage image_;                         // what the plug-in drew, shown by each paint
    PluginUnitSet units_{-1, -1, -1, -1};  // as last shown; none at first
};

// The main window: the display area and a menu with the plug-in's dialogs.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    HostWindow(PluginLibrary& plugin, const HostStrings& strings);
    enum class Dialog { Setting, Alarm, MaxMin };
    int Open(Dialog d);
    DisplayArea& Display() { return *display_; }

private:
    void ShowUnits(const PluginUnitSet& units);

    PluginLibrary& plugin_;
    const HostStrings& strings_;
    DisplayArea* display_ = nullptr;
    QLabel* units_ = nullptr;
    QTimer poll_;
};
