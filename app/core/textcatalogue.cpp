#include "app/core/textcatalogue.h"

#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// Texts made of parts are rarely made of more than three.
constexpr int MaxDepth = 4;

QString keyed(const QString& context, const QString& text)
{
    return context + QLatin1Char('\n') + text;
}

bool isArg(const QString& text, int i)
{
    return text.at(i) == QLatin1Char('%') && i + 1 < text.size()
        && text.at(i + 1) >= QLatin1Char('1') && text.at(i + 1) <= QLatin1Char('9');
}

// The text of <source> or <translation>; a carriage return is written as <byte value="xd"/>.
QString readText(QXmlStreamReader& xml)
{
    QString text;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.isEndDocument()) {
        if (xml.isCharacters()) {
            text += xml.text();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("byte")) {
            bool ok = false;
            const QString value = xml.attributes().value(QLatin1String("value")).toString();
            const uint code = value.startsWith(QLatin1Char('x')) ? value.mid(1).toUInt(&ok, 16)
                                                                 : value.toUInt(&ok, 10);
            if (ok)
                text += QChar(code);
        } else if (xml.isEndElement() && xml.name() != QLatin1String("byte")) {
            break;
        }
    }
    return text;
}

bool hasArgs(const QString& text)
{
    for (int i = 0; i < text.size(); ++i)
        if (isArg(text, i))
            return true;
    return false;
}

}

bool TextCatalogue::load(const QByteArray& ts)
{
    entries.clear();
    contexts.clear();
    bySource.clear();
    byEnglish.clear();
    patterns.clear();
    prefixes.clear();
    QXmlStreamReader xml(ts);
    QString context;
    Entry entry;
    bool finished = false;
    bool sawRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("TS")) {
                sawRoot = true;
            } else if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                entry = Entry { context, QString(), QString() };
                finished = false;
            } else if (name == QLatin1String("source")) {
                entry.source = readText(xml);
            } else if (name == QLatin1String("translation")) {
                finished = xml.attributes().value(QLatin1String("type")).isEmpty();
                entry.english = readText(xml);
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            if (finished && !entry.source.isEmpty() && !entry.english.isEmpty())
                entries.append(entry);
        }
    }
    if (xml.hasError() || !sawRoot) {
        entries.clear();
        return false;
    }

    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        contexts.insert(e.context);
        for (const bool toEnglish : { true, false }) {
            QHash<QString, int>& index = toEnglish ? bySource : byEnglish;
            const QString& text = from(e, toEnglish);
            if (!index.contains(text))
                index.insert(text, i);
            if (!index.contains(keyed(e.context, text)))
                index.insert(keyed(e.context, text), i);
            // A pattern that reads the same in both languages would only guess at its arguments.
            if (e.source == e.english || !hasArgs(text))
                continue;
            Pattern p { i, toEnglish, QRegularExpression(), {} };
            QString regex;
            QString literal;
            for (int c = 0; c < text.size(); ++c) {
                if (isArg(text, c)) {
                    regex += QRegularExpression::escape(literal) + QStringLiteral("(.*?)");
                    literal.clear();
                    p.argNumbers.append(text.at(c + 1).digitValue());
                    ++c;
                } else {
                    literal += text.at(c);
                }
            }
            regex += QRegularExpression::escape(literal);
            p.regex = QRegularExpression(QStringLiteral("\\A(?:%1)\\z").arg(regex),
                QRegularExpression::DotMatchesEverythingOption);
            patterns.append(p);
        }
        if (e.source != e.english && !hasArgs(e.source) && !hasArgs(e.english))
            prefixes.append(i);
    }
    // The pattern with the most fixed text is the most telling.
    auto fixedLength = [this](const Pattern& p) {
        return from(entries.at(p.entry), p.toEnglish).size() - 2 * p.argNumbers.size();
    };
    std::stable_sort(patterns.begin(), patterns.end(),
        [&](const Pattern& a, const Pattern& b) { return fixedLength(a) > fixedLength(b); });
    std::stable_sort(prefixes.begin(), prefixes.end(), [this](int a, int b) {
        return qMax(entries.at(a).source.size(), entries.at(a).english.size())
            > qMax(entries.at(b).source.size(), entries.at(b).english.size());
    });
    return true;
}

int TextCatalogue::lookUp(const QString& text, bool toEnglish, const QString& context) const
{
    const QHash<QString, int>& index = toEnglish ? bySource : byEnglish;
    if (!context.isEmpty()) {
        const auto it = index.constFind(keyed(context, text));
        if (it != index.constEnd())
            return *it;
    }
    return index.value(text, -1);
}

QString TextCatalogue::english(const QString& context, const QString& source) const
{
    if (!contexts.contains(context))
        return QString();
    const int i = lookUp(source, true, context);
    return i < 0 ? QString() : entries.at(i).english;
}

QString TextCatalogue::retranslate(
    const QString& shown, bool toEnglish, const QString& context) const
{
    QString out;
    return find(shown, toEnglish, context, 0, &out) ? out : shown;
}

bool TextCatalogue::find(
    const QString& shown, bool toEnglish, const QString& context, int depth, QString* out) const
{
    if (shown.isEmpty() || depth > MaxDepth)
        return false;
    const int exact = lookUp(shown, toEnglish, context);
    if (exact >= 0) {
        *out = to(entries.at(exact), toEnglish);
        return true;
    }
    // The shown text's own context first.
    for (const bool ownContext : { true, false }) {
        for (const Pattern& p : patterns) {
            const Entry& e = entries.at(p.entry);
            if (p.toEnglish != toEnglish || (e.context == context) != ownContext)
                continue;
            const QRegularExpressionMatch match = p.regex.match(shown);
            if (!match.hasMatch())
                continue;
            QString args[10];
            for (int a = 0; a < p.argNumbers.size(); ++a) {
                const QString arg = match.captured(a + 1);
                QString translated;
                args[p.argNumbers.at(a)]
                    = find(arg, toEnglish, context, depth + 1, &translated) ? translated : arg;
            }
            const QString& target = to(e, toEnglish);
            QString result;
            for (int c = 0; c < target.size(); ++c) {
                if (isArg(target, c)) {
                    result += args[target.at(c + 1).digitValue()];
                    ++c;
                } else {
                    result += target.at(c);
                }
            }
            *out = result;
            return true;
        }
    }
    for (const int i : prefixes) {
        const Entry& e = entries.at(i);
        const QString& head = from(e, toEnglish);
        QString tail;
        if (shown.size() > head.size() && shown.startsWith(head)
            && find(shown.mid(head.size()), toEnglish, context, depth + 1, &tail)) {
            *out = to(e, toEnglish) + tail;
            return true;
        }
    }
    return false;
}

QStringList TextCatalogue::ambiguities() const
{
    QHash<QString, QSet<QString>> sources;
    for (const Entry& e : entries)
        sources[keyed(e.context, e.english)].insert(e.source);
    QStringList found;
    for (auto it = sources.constBegin(); it != sources.constEnd(); ++it)
        if (it.value().size() > 1)
            found << it.key();
    found.sort();
    return found;
}

bool TextCatalogue::hasChinese(const QString& text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x3400 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F)
            || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}
