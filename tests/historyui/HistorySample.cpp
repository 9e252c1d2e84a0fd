// Draws the history browser over a database for looking at (not a test):
// history_sample DB OUTDIR [DAYS]
// writes history-<en|zh>-mode<0..3>.png and history-<en|zh>-<graph>.png,
// the browser loaded with the last DAYS days (default 7).
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QTableView>
#include <QTimeEdit>
#include <cstdio>

#include "CHistory.h"
#include "HistoryDb.h"
#include "SaveDialog.h"
#include "StringTable.h"

using namespace nimbary;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: history_sample DB OUTDIR [DAYS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int days = argc > 3 ? std::atoi(argv[3]) : 7;
    StderrMessages messages;
    QtSaveDialog saves;
    HistoryDb db(&messages);
    if (db.Open(argv[1]) != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], db.LastError().c_str());
        return 1;
    }
    for (auto lang : {text::Language::English, text::Language::Chinese}) {
        text::SetLanguage(lang);
        const QString tag = lang == text::Language::English ? "en" : "zh";
        CHistory dlg(db, messages, saves, 0);
        const QDateTime from = QDateTime::currentDateTime().addDays(-days);
        dlg.findChild<QDateEdit*>("idc_1008")->setDate(from.date());
        dlg.findChild<QTimeEdit*>("idc_1006")->setTime(from.time());
        dlg.show();
        dlg.Update();
        for (int m = 0; m < 4; ++m) {
            dlg.SelectMode(m);
            app.processEvents();
            dlg.grab().save(QString("%1/history-%2-mode%3.png").arg(out, tag).arg(m));
        }
        // The list's last rows, where the row numbers are longest.
        dlg.SelectMode(VIEW_LIST);
        dlg.findChild<QTableView*>("idc_1003")->scrollToBottom();
        app.processEvents();
        dlg.grab().save(QString("%1/history-%2-end.png").arg(out, tag));
        dlg.SelectMode(VIEW_CHART);
        auto* graphs = dlg.findChild<QComboBox*>("idc_1158");
        for (int g = 0; g < graphs->count(); ++g) {
            graphs->setCurrentIndex(g);
            app.processEvents();
            dlg.grab().save(QString("%1/history-%2-graph%3.png").arg(out, tag).arg(g));
        }
    }
    return 0;
}
