#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>

class QLabel;
class QMenu;

namespace nimbary {

// Menu command ids, kept from the station maker's program so logs and tests
// can name them.
enum CommandId : int {
    ID_APP_EXIT = 57665,
    ID_APP_ABOUT = 57664,
    ID_SETTING = 32771,
    ID_MAXMIN = 32772,
    ID_ALARM = 32773,
    ID_LANGUAGE = 32774,
    ID_HISTORY_VIEW = 32775,
    ID_HISTORY_MANAGE = 32776,
    ID_DEBUG = 32777,
};

// What the status bar is asked to show (the first parameter of a status notice).
enum StatusKind : int {
    STATUS_TEXT = 0,        // a text for pane 0
    STATUS_CONNECTION = 2,  // pane 2: connected (value != 0) or not
    STATUS_PROGRESS = 3,    // pane 0: records read so far
    STATUS_COMPLETE = 4,    // pane 0: download complete with the count
};

constexpr int kViewWidth = 1170;
constexpr int kClientHeight = 690;  // view plus status bar

// The main frame: menus rebuilt from the string table by position, a status
// bar with three panes, and the station id in the title.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QString dataDir, QWidget* parent = nullptr);

    // Sets every menu text in the current language and adds the Debug item
    // when main.ini asks for it. With relayout, `relayoutRequested` fires
    // first (the view reloads its texts) and pane 0 shows "Ready".
    void RefreshMenuTexts(bool relayout);

    void SetView(QWidget* view);
    void SetDeviceTitle(uint32_t devId);  // "Nimbary - %08X"
    void ClearDeviceTitle();              // "Nimbary"

    QString PaneText(int pane) const;
    QMenu* Menu(int position) const { return menus_[position]; }
    bool HasDebugItem() const;

public slots:
    void ShowStatus(int kind, qint64 value, const QString& text = QString());

signals:
    void commandTriggered(int id);
    void relayoutRequested();

private:
    QAction* AddItem(QMenu* menu, int id);
    void ReadyPane0();

    QString dataDir_;
    std::array<QMenu*, 4> menus_{};
    std::array<QLabel*, 3> panes_{};
    bool connected_ = false;
};

}  // namespace nimbary
