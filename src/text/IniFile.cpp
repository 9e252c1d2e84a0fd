#include "IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace nimbary {

namespace {

// "[Name]" → Name, else a null string.
QString SectionName(const QString& line) {
    QString t = line.trimmed();
    if (!t.startsWith('[')) return {};
    int close = t.indexOf(']');
    if (close < 0) return {};
    return t.mid(1, close - 1).trimmed();
}

bool SplitKey(const QString& line, QString& key, QString& value) {
    QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('[')) return false;
    int eq = t.indexOf('=');
    if (eq <= 0) return false;
    key = t.left(eq).trimmed();
    value = t.mid(eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return true;
}

// UTF-16 without a BOM, told by its ASCII text: +1 for little-endian (the
// zero byte of each ASCII character second), -1 for big-endian, 0 for
// neither. UTF-8 text has no zero bytes at all.
int Utf16Zeros(const QByteArray& raw) {
    qsizetype even = 0, odd = 0;
    for (qsizetype i = 0; i < raw.size(); ++i)
        if (raw[i] == '\0') ++(i % 2 ? odd : even);
    const qsizetype units = raw.size() / 2;
    if (units == 0) return 0;
    // Most characters of a profile are ASCII; random bytes have few zeros
    // and no side to them.
    if (odd * 2 > units && even * 8 < odd) return 1;
    if (even * 2 > units && odd * 8 < even) return -1;
    return 0;
}

}  // namespace

QString IniPath(const QString& dataDir) {
    return dataDir + "/main.ini";
}

QString IniFile::Decode(const QByteArray& raw, Encoding& enc) {
    if (raw.startsWith("\xFF\xFE")) {
        enc = Encoding::Utf16LE;
        return QStringDecoder(QStringDecoder::Utf16LE)(raw.mid(2));
    }
    if (raw.startsWith("\xFE\xFF")) {
        enc = Encoding::Utf16BE;
        return QStringDecoder(QStringDecoder::Utf16BE)(raw.mid(2));
    }
    if (raw.startsWith("\xEF\xBB\xBF")) {
        enc = Encoding::Utf8Bom;
        return QString::fromUtf8(raw.mid(3));
    }
    if (const int zeros = Utf16Zeros(raw); zeros != 0) {
        enc = zeros > 0 ? Encoding::Utf16LENoBom : Encoding::Utf16BENoBom;
        return QStringDecoder(zeros > 0 ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE)(raw);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(raw);
    enc = Encoding::Utf8;
    if (utf8.hasError()) {
        enc = Encoding::Bytes;
        text = QString::fromLatin1(raw);
    }
    return text;
}

bool IniFile::Load(QStringList& lines, Encoding& enc) const {
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QString text = Decode(f.readAll(), enc);
    text.replace("\r\n", "\n");
    lines = text.split('\n');
    return true;
}

bool IniFile::Find(const QString& section, const QString& key, QString& value) const {
    QStringList lines;
    Encoding enc;
    if (!Load(lines, enc)) return false;
    bool inSection = false;
    for (const QString& line : lines) {
        QString name = SectionName(line);
        if (!name.isNull()) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString k, v;
        if (inSection && SplitKey(line, k, v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            value = v;
            return true;
        }
    }
    return false;
}

QString IniFile::Read(const QString& section, const QString& key, int maxChars) const {
    QString v;
    return Find(section, key, v) ? v.left(maxChars) : QString();
}

bool IniFile::Contains(const QString& section, const QString& key) const {
    QString v;
    return Find(section, key, v);
}

bool IniFile::Write(const QString& section, const QString& key, const QString& value) const {
    QStringList lines;
    Encoding enc = Encoding::Utf8;
    if (!Load(lines, enc)) lines.clear();
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();

    int sectionLine = -1, keyLine = -1, lastInSection = -1;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        QString name = SectionName(lines[i]);
        if (!name.isNull()) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection && sectionLine < 0) {
                sectionLine = i;
                lastInSection = i;
            }
            continue;
        }
        if (!inSection) continue;
        QString k, v;
        if (SplitKey(lines[i], k, v)) {
            lastInSection = i;
            if (keyLine < 0 && k.compare(key, Qt::CaseInsensitive) == 0) keyLine = i;
        }
    }
    const QString entry = key + '=' + value;
    if (keyLine >= 0) {
        QString existing, old;
        SplitKey(lines[keyLine], existing, old);
        lines[keyLine] = existing + '=' + value;  // keeps the key's own spelling
    } else if (sectionLine >= 0) {
        lines.insert(lastInSection + 1, entry);
    } else {
        lines << ('[' + section + ']') << entry;
    }

    QString text = lines.join("\r\n") + "\r\n";
    QByteArray out;
    switch (enc) {
        case Encoding::Utf16LE:
            out = QByteArray("\xFF\xFE", 2) + QStringEncoder(QStringEncoder::Utf16LE)(text);
            break;
        case Encoding::Utf16BE:
            out = QByteArray("\xFE\xFF", 2) + QStringEncoder(QStringEncoder::Utf16BE)(text);
            break;
        case Encoding::Utf16LENoBom:
            out = QStringEncoder(QStringEncoder::Utf16LE)(text);
            break;
        case Encoding::Utf16BENoBom:
            out = QStringEncoder(QStringEncoder::Utf16BE)(text);
            break;
        case Encoding::Bytes:
            out = text.toLatin1();
            break;
        case Encoding::Utf8Bom:
            out = "\xEF\xBB\xBF" + text.toUtf8();
            break;
        case Encoding::Utf8:
            out = text.toUtf8();
            break;
    }
    // The file must read back as written. A file without a BOM is told by its
    // bytes, and the new ones may tell another encoding: then it gets its BOM.
    // A file taken byte for byte cannot hold characters beyond them: refused
    // rather than stored as '?'.
    Encoding check;
    if (Decode(out, check) != text) {
        if (enc == Encoding::Utf16LENoBom)
            out.prepend("\xFF\xFE");
        else if (enc == Encoding::Utf16BENoBom)
            out.prepend("\xFE\xFF");
        else if (enc == Encoding::Utf8)
            out.prepend("\xEF\xBB\xBF");
        else
            return false;
    }
    // Written whole to a temporary file and renamed, so a full disk never
    // leaves a truncated main.ini behind. Unbuffered, because a buffered
    // QSaveFile takes a write cut short by a full disk for a whole one and
    // commits the cut file.
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (f.write(out) != out.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

}  // namespace nimbary
