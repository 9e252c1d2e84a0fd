#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace nimbary {

// What a Save As asks for: the kinds of file on offer ("*.csv", or
// "Name (*.csv)"), the first of them selected, and a suggested file.
struct SaveRequest {
    QStringList filters;
    QString suggested;  // a file name, placed in the folder the dialog opens in; empty for none
};

// Asks the user where to save. The program answers with its own file
// dialog; tests answer themselves.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // The chosen path, or empty for Cancel. A name typed without an
    // extension gets the one of the kind selected.
    virtual QString AskSavePath(QWidget* parent, const SaveRequest& request) = 0;
};

// Qt's own file dialog rather than the desktop's, so that it speaks the
// program's language; it asks before replacing a file. It opens in the
// folder saved into last, else the user's Documents folder, else home.
class QtSaveDialog : public SaveDialog {
public:
    QString AskSavePath(QWidget* parent, const SaveRequest& request) override;
    // Where the next dialog opens.
    QString StartFolder() const;

private:
    // For this run only: of main.ini the program writes the language alone.
    QString lastFolder_;
};

// The extension a filter offers, without the dot: "csv" for "*.csv" or
// "Text table (*.csv)"; empty when it offers none.
QString FilterSuffix(const QString& filter);

}  // namespace nimbary
