#pragma once

class QApplication;

// The program's look: a calm light-blue skin over the Fusion style.
namespace Skin {
void apply(QApplication& app);
}
