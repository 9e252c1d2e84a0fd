#pragma once

#include <QString>
#include <QStringList>

namespace nimbary {

// A Windows-style profile file (main.ini): [Section] lines and key=value
// lines. Section and key names match without regard to case, values are
// trimmed and may be quoted; a missing file or key reads as empty text.
// The file may be UTF-8 (with or without BOM) or UTF-16 (with or without
// BOM); a write keeps the file's encoding and every other line as it was.
// A file that is none of these (a Windows code page, stray bytes) is taken
// byte for byte, so that a write keeps its other bytes too.
class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}

    // At most maxChars characters of the value, like a fixed-size buffer.
    QString Read(const QString& section, const QString& key, int maxChars = 255) const;
    // True when the key is there, even with an empty value.
    bool Contains(const QString& section, const QString& key) const;
    // Replaces the key's value, or adds the key (and the section) when absent.
    // False, with the file as it was, when it cannot be written or when a file
    // taken byte for byte cannot hold the value's characters. A file without a
    // BOM whose new bytes would read as another encoding gets its BOM.
    bool Write(const QString& section, const QString& key, const QString& value) const;

    const QString& Path() const { return path_; }

private:
    enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Utf16LENoBom, Utf16BENoBom, Bytes };
    static QString Decode(const QByteArray& raw, Encoding& enc);
    bool Load(QStringList& lines, Encoding& enc) const;
    bool Find(const QString& section, const QString& key, QString& value) const;

    QString path_;
};

// main.ini in the program's data folder.
QString IniPath(const QString& dataDir);

}  // namespace nimbary
