#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Flag-delimited frames with byte stuffing: F1 = M + B1, F2 = M + B2. A data byte equal to F1 or
// F2 travels as M followed by B1 or B2, and F1 also opens and closes the frame.
namespace FrameCodec {

// Values are 16-bit because the rule is typed as hex of any length; one above 0xFF never
// matches a data byte.
struct Rule {
    quint16 f1 = 0x7E;
    quint16 f2 = 0x7D;
    quint16 m = 0x7D;
    quint16 b1 = 0x02;
    quint16 b2 = 0x01;
};

// Each text read as hex (QString::toUShort, base 16); a text that does not convert counts as 0.
Rule ruleFromTexts(
    const QString& f1, const QString& f2, const QString& m, const QString& b1, const QString& b2);

enum class Result { Ok, Empty, BadFormat };

// Plain data (the typed text as UTF-8) to a frame. White space (blanks, tabs, line breaks) is
// dropped, the rest read two characters a step (the last step may hold one).
Result encapsulate(const QByteArray& plain, const Rule& rule, QString* frame);
// A frame (the typed text as UTF-8) back to plain data: white space dropped, the first and last
// two characters taken as the flags, the rest read like plain data.
Result decapsulate(const QByteArray& frame, const Rule& rule, QString* plain);

// Upper-case hex with at least two digits, each value followed by one blank.
QString formatValues(const QVector<quint16>& values);

}
