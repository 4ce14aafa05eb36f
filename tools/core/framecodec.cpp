#include "tools/core/framecodec.h"

#include "tools/core/hexconvert.h"

namespace FrameCodec {

namespace {

    quint16 ruleValue(const QString& text) { return text.toUShort(nullptr, 16); }

    // One step of two characters; a step that does not convert is a format error.
    bool stepValue(const QByteArray& digits, int at, quint16* value)
    {
        bool ok = false;
        *value = digits.mid(at, 2).toUShort(&ok, 16);
        return ok;
    }

    // Line breaks and tabs go too: the number conversion would skip them at the front of a
    // step and so misread the pairs that follow.
    QByteArray withoutWhiteSpace(const QByteArray& text)
    {
        QByteArray out;
        out.reserve(text.size());
        for (const char c : text) {
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f')
                out.append(c);
        }
        return out;
    }

}

Rule ruleFromTexts(
    const QString& f1, const QString& f2, const QString& m, const QString& b1, const QString& b2)
{
    Rule rule;
    rule.f1 = ruleValue(f1);
    rule.f2 = ruleValue(f2);
    rule.m = ruleValue(m);
    rule.b1 = ruleValue(b1);
    rule.b2 = ruleValue(b2);
    return rule;
}

Result encapsulate(const QByteArray& plain, const Rule& rule, QString* frame)
{
    if (plain.isEmpty())
        return Result::Empty;
    const QByteArray digits = withoutWhiteSpace(plain);
    QVector<quint16> out { rule.f1 };
    for (int i = 0; i < digits.size(); i += 2) {
        quint16 v = 0;
        if (!stepValue(digits, i, &v))
            return Result::BadFormat;
        if (v == rule.f1)
            out << rule.m << rule.b1;
        else if (v == rule.f2)
            out << rule.m << rule.b2;
        else
            out << v;
    }
    out << rule.f1;
    *frame = formatValues(out);
    return Result::Ok;
}

Result decapsulate(const QByteArray& frame, const Rule& rule, QString* plain)
{
    if (frame.isEmpty())
        return Result::Empty;
    QByteArray digits = withoutWhiteSpace(frame);
    // The flags are only cut off, never compared: a frame with other flags still opens.
    digits = digits.size() > 4 ? digits.mid(2, digits.size() - 4) : QByteArray();
    QVector<quint16> out;
    for (int i = 0; i < digits.size(); i += 2) {
        quint16 v = 0;
        if (!stepValue(digits, i, &v))
            return Result::BadFormat;
        if (v != rule.m) {
            out << v;
            continue;
        }
        quint16 w = 0;
        if (!stepValue(digits, i + 2, &w))
            w = 0; // a missing or unreadable pair after the escape counts as 0
        if (w == rule.b1) {
            out << rule.f1;
            i += 2;
        } else if (w == rule.b2) {
            out << rule.f2;
            i += 2;
        } else {
            out << rule.m; // an escape not followed by B1 or B2 stands for itself
        }
    }
    *plain = formatValues(out);
    return Result::Ok;
}

QString formatValues(const QVector<quint16>& values)
{
    QString text;
    text.reserve(values.size() * 3);
    for (const quint16 v : values) {
        text += HexConvert::twoDigits(v);
        text += QLatin1Char(' ');
    }
    return text;
}

}
