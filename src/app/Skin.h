#pragma once

#include <QString>

class QApplication;
class QCoreApplication;

// The program's look: a calm light-blue skin over the Fusion style, drawn from the style sheet and
// the pictures under :/skin, :/icons and :/pictures, and Qt's own Chinese texts for the standard dialogs.
namespace Skin {
// Applies everything below to the whole application; called once at start.
void apply(QApplication& app);
// The skin's style sheet (empty when the resource is missing).
QString styleSheet();
// Loads Qt's Chinese translations (file dialog, print dialog, context menus) from Qt's translations
// folder; returns false when they are not installed, and the standard dialogs then stay in English.
bool installTranslations(QCoreApplication& app);
} // namespace Skin
