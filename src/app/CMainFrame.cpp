#include "CMainFrame.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>

#include "AccessKeys.h"
#include "AppIcon.h"
#include "DataFolder.h"
#include "IniFile.h"
#include "StringTable.h"

namespace nimbary {

namespace {

QString Text(int id) {
    return QString::fromStdString(text::Load(id));
}

// The desktop's Quit (Ctrl+Q on Linux); Ctrl+Q too where the platform names
// none (Windows' keys, the screenless platform of the tests).
QList<QKeySequence> QuitKeys() {
    const QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Quit);
    return keys.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Q)} : keys;
}

QString KeyedText(text::KeyPlace place, int id) {
    return QString::fromStdString(text::LoadWithKey(place, id));
}

}  // namespace

CMainFrame::CMainFrame(QString dataDir, QWidget* parent)
    : QMainWindow(parent), dataDir_(std::move(dataDir)) {
    // Caption, system menu, sizing border and minimise box; no maximise box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(Text(57344));
    setWindowIcon(AppIcon());

    for (int i = 0; i < 4; ++i) menus_[i] = menuBar()->addMenu(QString());
    AddItem(menus_[0], ID_APP_EXIT)->setShortcuts(QuitKeys());
    AddItem(menus_[1], ID_SETTING);
    AddItem(menus_[1], ID_ALARM);
    AddItem(menus_[1], ID_MAXMIN);
    menus_[1]->addSeparator();
    AddItem(menus_[1], ID_LANGUAGE);
    AddItem(menus_[2], ID_HISTORY_VIEW);
    AddItem(menus_[2], ID_HISTORY_MANAGE);
    AddItem(menus_[3], ID_APP_ABOUT);

    QStatusBar* bar = statusBar();
    bar->setMinimumHeight(24);
    bar->setSizeGripEnabled(false);
    panes_[0] = new QLabel(bar);
    panes_[1] = new QLabel(bar);
    panes_[1]->setFixedWidth(120);
    auto* pane2 = new QWidget(bar);
    pane2->setFixedWidth(165);
    auto* layout = new QHBoxLayout(pane2);
    layout->setContentsMargins(2, 0, 2, 0);
    auto* icon = new QLabel(pane2);
    icon->setPixmap(AppIcon().pixmap(16, 16));
    panes_[2] = new QLabel(pane2);
    layout->addWidget(icon);
    layout->addWidget(panes_[2], 1);
    for (int i = 0; i < 3; ++i) panes_[i]->setObjectName(QString("statusPane%1").arg(i));
    bar->addWidget(panes_[0], 1);
    bar->addPermanentWidget(panes_[1]);
    bar->addPermanentWidget(pane2);

    ShowStatus(STATUS_CONNECTION, 0);
    ReadyPane0();
    RefreshMenuTexts(false);
}

QAction* CMainFrame::AddItem(QMenu* menu, int id) {
    QAction* a = menu->addAction(QString());
    a->setData(id);
    a->setObjectName(QString("cmd%1").arg(id));
    connect(a, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
    return a;
}

void CMainFrame::SetView(QWidget* view) {
    setCentralWidget(view);
    view->setFixedSize(kViewWidth, kClientHeight - statusBar()->sizeHint().height());
}

void CMainFrame::RefreshMenuTexts(bool relayout) {
    if (relayout) {
        emit relayoutRequested();
        ReadyPane0();
    }
    using text::KeyPlace;
    static const int kTopIds[4] = {2103, 2106, 2111, 2113};
    static const KeyPlace kPlaces[4] = {KeyPlace::FileMenu, KeyPlace::EditMenu,
                                        KeyPlace::HistoryMenu, KeyPlace::HelpMenu};
    // Item texts by command id; About carries the literal "..." as well.
    static const std::pair<int, int> kItemIds[] = {
        {ID_APP_EXIT, 2104},       {ID_SETTING, 2107},  {ID_ALARM, 2108},
        {ID_MAXMIN, 2109},         {ID_LANGUAGE, 2110}, {ID_HISTORY_VIEW, 2063},
        {ID_HISTORY_MANAGE, 2115}, {ID_APP_ABOUT, 2114}};
    for (int i = 0; i < 4; ++i) {
        menus_[i]->setTitle(KeyedText(KeyPlace::MenuBar, kTopIds[i]));
        for (QAction* a : menus_[i]->actions())
            for (const auto& [command, stringId] : kItemIds)
                if (a->data().toInt() == command)
                    a->setText(KeyedText(kPlaces[i], stringId) +
                               (command == ID_APP_ABOUT ? "..." : ""));
    }
    if (IniFile(IniPath(dataDir_)).Read("Menu", "Debug") == "1" && !HasDebugItem()) {
        static_assert(ID_DEBUG == text::kDebugItem);
        menus_[3]->addSeparator();
        AddItem(menus_[3], ID_DEBUG)
            ->setText(QString::fromStdString(
                text::WithAccessKey("Debug", text::AccessKey(KeyPlace::HelpMenu, ID_DEBUG))));
    }
}

bool CMainFrame::HasDebugItem() const {
    for (QAction* a : menus_[3]->actions())
        if (a->data().toInt() == ID_DEBUG) return true;
    return false;
}

void CMainFrame::SetDeviceTitle(uint32_t devId) {
    setWindowTitle("Nimbary - " + QString("%1").arg(devId, 8, 16, QChar('0')).toUpper());
}

void CMainFrame::ClearDeviceTitle() {
    setWindowTitle("Nimbary");
}

QString CMainFrame::PaneText(int pane) const {
    return panes_[pane]->text();
}

void CMainFrame::ReadyPane0() {
    panes_[0]->setText(Text(57345));
}

void CMainFrame::ShowStatus(int kind, qint64 value, const QString& text) {
    switch (kind) {
        case STATUS_TEXT:
            panes_[0]->setText(text);
            break;
        case STATUS_CONNECTION:
            connected_ = value != 0;
            panes_[2]->setText(Text(connected_ ? 2091 : 2092));
            break;
        case STATUS_PROGRESS:
            panes_[0]->setText(QString::fromStdString(text::Format(2097, {int(value)})));
            break;
        case STATUS_COMPLETE: {
            QString when =
                QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
            panes_[0]->setText(
                QString::fromStdString(text::Format(2096, {when.toStdString(), int(value)})));
            break;
        }
        default:
            break;
    }
}

}  // namespace nimbary
