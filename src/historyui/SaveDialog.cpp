#include "SaveDialog.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace nimbary {

QString FilterSuffix(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(filter).captured(1);
}

QString QtSaveDialog::AskSavePath(QWidget* parent, const SaveRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(request.filters);
    if (!request.filters.isEmpty()) dialog.setDefaultSuffix(FilterSuffix(request.filters.first()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& f) { dialog.setDefaultSuffix(FilterSuffix(f)); });
    if (!request.suggested.isEmpty()) dialog.selectFile(request.suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace nimbary
