#include "WineRegistry.h"

#include "DiagLog.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int kMaxLinkHops = 8;
const char kHeader[] = "WINE REGISTRY Version 2";
const char kRootComment[] = ";; All keys relative to ";

QString fold(QString key)
{
    while (key.startsWith(QLatin1Char('\\')))
        key.remove(0, 1);
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    return key.toCaseFolded();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Index of the closing `quote` of text that opens before `from`, honouring
// backslash escapes; -1 when the line ends first.
qsizetype closingQuote(const QByteArray &line, qsizetype from, char quote)
{
    for (qsizetype i = from; i < line.size(); ++i) {
        if (line.at(i) == '\\')
            ++i;
        else if (line.at(i) == quote)
            return i;
    }
    return -1;
}

// Parses "<hex digits>):" after "hex(" or "str("; -1 when malformed.
qint64 typeNumber(const QByteArray &rest, qsizetype *consumed)
{
    const qsizetype close = rest.indexOf("):");
    if (close <= 0 || close > 8)
        return -1;
    bool ok = false;
    const quint32 type = rest.left(close).toUInt(&ok, 16);
    if (!ok)
        return -1;
    *consumed = close + 2;
    return type;
}

QString utf16Text(const QByteArray &bytes)
{
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                      bytes.size() / 2);
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

QStringList splitMulti(const QString &text)
{
    QStringList list = text.split(QChar(0));
    while (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

// Gives typed meaning to raw hex(...) bytes the way the registry API would.
bool interpretBytes(WineRegistry::Value &v)
{
    using V = WineRegistry::Value;
    switch (v.type) {
    case V::String:
    case V::ExpandString:
    case V::Link:
        v.text = utf16Text(v.bytes);
        return true;
    case V::MultiString:
        v.list = splitMulti(utf16Text(v.bytes));
        return true;
    case V::Dword:
        if (v.bytes.size() < 4)
            return false;
        v.number = qFromLittleEndian<quint32>(v.bytes.constData());
        return true;
    case V::Qword:
        if (v.bytes.size() < 8)
            return false;
        v.number = qFromLittleEndian<quint64>(v.bytes.constData());
        return true;
    default:
        return true;
    }
}

// Comma-separated hex bytes, continued on the next line after a trailing
// backslash. `line` starts at the first byte; `next` walks the key's lines.
template <typename NextLine>
bool parseHexBytes(QByteArray line, NextLine next, QByteArray *out)
{
    for (;;) {
        line = line.trimmed();
        const bool continues = line.endsWith('\\');
        if (continues)
            line.chop(1);
        for (const QByteArray &item : line.split(',')) {
            const QByteArray byte = item.trimmed();
            if (byte.isEmpty())
                continue;
            if (byte.size() > 2 || hexDigit(byte.at(0)) < 0
                || (byte.size() == 2 && hexDigit(byte.at(1)) < 0))
                return false;
            if (out->size() >= WineRegistry::kMaxValueBytes)
                return false;
            out->append(char(byte.size() == 2 ? hexDigit(byte.at(0)) * 16 + hexDigit(byte.at(1))
                                              : hexDigit(byte.at(0))));
        }
        if (!continues)
            return true;
        if (!next(&line))
            return false;
    }
}

} // namespace

bool WineRegistry::load(const QString &path)
{
    data_.clear();
    index_.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        DIAG_LOG(QStringLiteral("cannot open %1").arg(path).toLocal8Bit().constData());
        return false;
    }
    const QByteArray data = file.read(kMaxFileSize + 1);
    if (data.size() > kMaxFileSize) {
        DIAG_LOG(QStringLiteral("%1 is too big").arg(path).toLocal8Bit().constData());
        return false;
    }
    return loadData(data);
}

bool WineRegistry::loadData(const QByteArray &data)
{
    data_.clear();
    index_.clear();
    if (data.size() > kMaxFileSize || !data.startsWith(kHeader)) {
        DIAG_LOG("not a Wine registry file");
        return false;
    }
    data_ = data;
    linkPrefix_ = QStringLiteral("\\registry\\machine\\");
    qsizetype pos = 0;
    while (pos < data_.size()) {
        qsizetype end = data_.indexOf('\n', pos);
        if (end < 0)
            end = data_.size();
        // Only key headers and the root comment matter here; value lines are
        // skipped without copying them, which keeps a large system.reg cheap.
        qsizetype first = pos;
        while (first < end && (data_.at(first) == ' ' || data_.at(first) == '\t'))
            ++first;
        const char lead = first < end ? data_.at(first) : '\0';
        const QByteArray line = lead == '[' || lead == ';' ? data_.mid(first, end - first).trimmed()
                                                           : QByteArray();
        pos = end + 1;
        if (line.startsWith(kRootComment)) {
            // "\\User\\S-1-5-21-..." -> the prefix link targets carry.
            const QString root = unescape(line.mid(sizeof kRootComment - 1).trimmed());
            linkPrefix_ = fold(QStringLiteral("\\registry") + root) + QLatin1Char('\\');
            linkPrefix_.prepend(QLatin1Char('\\'));
        } else if (line.startsWith('[')) {
            const qsizetype close = closingQuote(line, 1, ']');
            if (close < 0)
                continue;
            const QString key = fold(unescape(line.mid(1, close - 1)));
            if (!index_.contains(key))
                index_.insert(key, qMin(pos, data_.size()));
        }
    }
    return true;
}

bool WineRegistry::hasKey(const QString &key) const
{
    return index_.contains(resolveLinks(fold(key)));
}

std::optional<WineRegistry::Value> WineRegistry::value(const QString &key, const QString &name) const
{
    const QString folded = resolveLinks(fold(key));
    if (!index_.contains(folded))
        return std::nullopt;
    return valueInKey(folded, name.toCaseFolded());
}

QString WineRegistry::resolveLinks(const QString &foldedKey) const
{
    QString key = foldedKey;
    for (int hop = 0; hop < kMaxLinkHops && !index_.contains(key); ++hop) {
        // Find the longest existing ancestor that is a link and splice its target in.
        const QStringList parts = key.split(QLatin1Char('\\'));
        bool spliced = false;
        for (qsizetype n = parts.size() - 1; n > 0 && !spliced; --n) {
            const QString prefix = parts.mid(0, n).join(QLatin1Char('\\'));
            if (!index_.contains(prefix))
                continue;
            const auto link = valueInKey(prefix, QStringLiteral("symboliclinkvalue"));
            if (!link || link->type != Value::Link)
                return key;
            QString target = link->text.toCaseFolded();
            if (!target.startsWith(linkPrefix_))
                return key;
            target = fold(target.mid(linkPrefix_.size()));
            key = target + QLatin1Char('\\') + parts.mid(n).join(QLatin1Char('\\'));
            spliced = true;
        }
        if (!spliced)
            return key;
    }
    return key;
}

std::optional<WineRegistry::Value> WineRegistry::valueInKey(const QString &foldedKey,
                                                            const QString &foldedName) const
{
    qsizetype pos = index_.value(foldedKey, data_.size());
    auto nextLine = [&](QByteArray *line) {
        if (pos >= data_.size())
            return false;
        qsizetype end = data_.indexOf('\n', pos);
        if (end < 0)
            end = data_.size();
        *line = data_.mid(pos, end - pos);
        pos = end + 1;
        return true;
    };

    QByteArray line;
    while (nextLine(&line)) {
        line = line.trimmed();
        if (line.startsWith('['))
            break;
        QString name;
        qsizetype eq = -1;
        if (line.startsWith("@=")) {
            eq = 1;
        } else if (line.startsWith('"')) {
            const qsizetype close = closingQuote(line, 1, '"');
            if (close < 0 || close + 1 >= line.size() || line.at(close + 1) != '=')
                continue;
            name = unescape(line.mid(1, close - 1));
            eq = close + 1;
        } else {
            continue;
        }
        if (name.toCaseFolded() != foldedName)
            continue;

        Value v;
        const QByteArray rest = line.mid(eq + 1);
        qsizetype used = 0;
        bool ok = false;
        if (rest.startsWith('"') || rest.startsWith("str(")) {
            qint64 type = Value::String;
            if (rest.startsWith("str(")) {
                type = typeNumber(rest.mid(4), &used);
                used += 4;
            }
            const qsizetype close = type < 0 ? -1 : closingQuote(rest, used + 1, '"');
            if (close > used && rest.at(used) == '"' && close - used <= kMaxValueBytes) {
                v.type = quint32(type);
                v.text = unescape(rest.mid(used + 1, close - used - 1));
                if (v.type == Value::MultiString) {
                    v.list = splitMulti(v.text);
                    v.text.clear();
                }
                ok = true;
            }
        } else if (rest.startsWith("dword:")) {
            const QByteArray digits = rest.mid(6).trimmed();
            v.type = Value::Dword;
            v.number = digits.size() <= 8 ? digits.toUInt(&ok, 16) : 0;
        } else if (rest.startsWith("hex:") || rest.startsWith("hex(")) {
            qint64 type = Value::Binary;
            used = 4;
            if (rest.startsWith("hex(")) {
                type = typeNumber(rest.mid(4), &used);
                used += 4;
            }
            if (type >= 0) {
                v.type = quint32(type);
                ok = parseHexBytes(rest.mid(used), nextLine, &v.bytes) && interpretBytes(v);
            }
        }
        if (!ok) {
            DIAG_LOG(QStringLiteral("damaged value \"%1\" in [%2]")
                         .arg(name, foldedKey).toLocal8Bit().constData());
            return std::nullopt;
        }
        return v;
    }
    return std::nullopt;
}

QString WineRegistry::unescape(const QByteArray &raw)
{
    const QString in = QString::fromUtf8(raw);
    QString out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= in.size()) {
            out.append(c);
            continue;
        }
        const char e = in.at(++i).toLatin1();
        switch (e) {
        case 'a': out.append(QChar(7)); break;
        case 'b': out.append(QChar(8)); break;
        case 'e': out.append(QChar(27)); break;
        case 'f': out.append(QChar(12)); break;
        case 'n': out.append(QChar(10)); break;
        case 'r': out.append(QChar(13)); break;
        case 't': out.append(QChar(9)); break;
        case 'v': out.append(QChar(11)); break;
        case 'x': {
            char16_t code = 0;
            int digits = 0;
            while (digits < 4 && i + 1 < in.size() && hexDigit(in.at(i + 1).toLatin1()) >= 0
                   && in.at(i + 1).unicode() < 128) {
                code = char16_t(code * 16 + hexDigit(in.at(++i).toLatin1()));
                ++digits;
            }
            out.append(digits ? QChar(code) : QLatin1Char('x'));
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                char16_t code = char16_t(e - '0');
                for (int d = 0; d < 2 && i + 1 < in.size() && in.at(i + 1) >= QLatin1Char('0')
                                && in.at(i + 1) <= QLatin1Char('7'); ++d)
                    code = char16_t(code * 8 + (in.at(++i).unicode() - '0'));
                out.append(QChar(code));
            } else {
                out.append(in.at(i));
            }
        }
    }
    return out;
}
