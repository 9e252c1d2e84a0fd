// Draws the history browser over a database for looking at (not a test):
// history_sample DB OUTDIR [DAYS | FROM TO]
// writes history-<en|zh>-mode<0..3>.png, history-<en|zh>-<graph>.png and
// history-<en|zh>-summary-<day|month|year>.png (and the summaries' PDF
// exports, summary-<en|zh>-<period>.pdf), the browser loaded with
// the last DAYS days (default 7) or from the date FROM to the date TO.
// history_sample --fill-year DB stores a simulated year (2023) into DB.
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <cstdio>

#include "CHistory.h"
#include "HistoryDb.h"
#include "HistoryExport.h"
#include "HistoryFill.h"
#include "SaveDialog.h"
#include "SimulatedYear.h"
#include "StringTable.h"
#include "SummaryTable.h"
#include "SummaryView.h"

using namespace nimbary;

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--fill-year") {
        StderrMessages messages;
        HistoryDb db(&messages);
        if (db.Open(argv[2]) != 0) return 1;
        db.Info().Units = Units();
        return testing::SaveAll(db, 0x5EA50001, testing::SimulatedYear(0x5EA50001, 2023));
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: history_sample DB OUTDIR [DAYS | FROM TO]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int days = argc == 4 ? std::atoi(argv[3]) : 7;
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
        if (argc > 4) {
            dlg.findChild<QDateEdit*>("idc_1008")->setDate(QDate::fromString(argv[3], Qt::ISODate));
            dlg.findChild<QTimeEdit*>("idc_1006")->setTime(QTime(0, 0));
            dlg.findChild<QDateEdit*>("idc_1009")->setDate(QDate::fromString(argv[4], Qt::ISODate));
            dlg.findChild<QTimeEdit*>("idc_1007")->setTime(QTime(23, 59, 59));
        }
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
        dlg.SelectMode(VIEW_SUMMARY);
        static const char* const kPeriods[] = {"day", "month", "year"};
        for (int p = 0; p < 3; ++p) {
            dlg.findChild<QPushButton*>(QString("summary_period%1").arg(p))->click();
            app.processEvents();
            dlg.grab().save(QString("%1/history-%2-summary-%3.png").arg(out, tag, kPeriods[p]));
            ExportProgress progress;
            ExportHistory(dlg.Summary().Table(),
                          QString("%1/summary-%2-%3.pdf").arg(out, tag, kPeriods[p]).toStdString(),
                          ExportFormat::Pdf, PdfOptions::ForNow(), progress);
        }
    }
    return 0;
}
