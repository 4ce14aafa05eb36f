#pragma once

#include <QString>

class QSettings;
class TextCatalogue;

// The interface language: Chinese (the texts of the sources) or English (the embedded
// catalogue), for the whole process.
namespace Language {

enum class Id { Chinese, English };

Id current();
QString code(Id id);
// "zh" or "en"; false for anything else.
bool fromCode(const QString& code, Id* id);
// The choice kept in the settings (CustomConfig/Language); Chinese without one.
Id stored(QSettings* settings);
void store(QSettings* settings, Id id);

// Installs the language and turns every window to it before returning, so that what windows show
// and what code compares their captions with change in one step.
void apply(Id id);

// A text shown before the last switch, in the current language (unchanged when it is data).
QString retranslated(const QString& text, const QString& context = QString());

const TextCatalogue& catalogue();

}
