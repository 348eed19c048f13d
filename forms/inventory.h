#pragma once

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

// The controls of both windows as data: one row per control, read like the design tables, so the
// layout can be held against them line by line.
enum class ControlKind {
    Label,
    TextBox,
    Frame,
    Button,
    CheckBox,
    Toggle,
    Option,
    ComboBox,
    Image,
    Spin,
    ProgressBar
};

namespace ControlFlag {
enum : unsigned {
    Bold = 1u << 0,
    Hidden = 1u << 1,
    Ticked = 1u << 2, // check boxes ticked, the toggle pressed, the option selected
    Right = 1u << 3,
    Centre = 1u << 4,
    Opaque = 1u << 5,    // a label that paints its own background
    TwoChars = 1u << 6,  // the operator can type at most two characters
    PadShifts = 1u << 7, // a digit typed after "0d" replaces the padding zero
    FitsText = 1u << 8,  // the big display: its text shrinks rather than being clipped
    TimeBox = 1u << 9,   // takes full-width digits typed with a Japanese input method as ASCII
};
}

inline constexpr int kNoColor = -1;

struct ControlRow {
    QString name;
    ControlKind kind;
    QString container; // empty: the window itself
    QString text;
    int left, top, width, height; // twips
    int fore = kNoColor;          // 0xRRGGBB
    int back = kNoColor;          // 0xRRGGBB; a label without one is transparent
    double points = 0;            // 0: the system font
    unsigned flags = 0;
    QString buddy = {}; // spin controls: the box they step, and their range
    int minimum = 0;
    int maximum = 0;
};

std::vector<ControlRow> viewerInventory();
std::vector<ControlRow> slaveInventory();

// The order the Tab key walks through the main window.
QStringList viewerFocusOrder();

// Pixels at 96 dpi.
int twipsToPixels(int twips);

// The gothic faces the display may be drawn in: the one it was designed in first, then the
// Japanese gothic faces other machines have, so the Japanese captions never render as boxes.
QStringList gothicFamilies();

// The first of `wanted` that is among `installed` (compared without case), alone; all of `wanted`
// when none is, so the font's own fallback still looks for a Japanese face.
QStringList firstInstalledFamily(const QStringList &wanted, const QStringList &installed);

// The first of gothicFamilies() the machine has, as firstInstalledFamily() gives it. Walks the
// list of every font the machine has: ask once for many controls.
QStringList installedGothicFamilies();

// Makes the gothic face the application's font at the platform's size, before any window is
// built: message boxes and dialogs then show their Japanese text in the same face as the windows,
// and no second face is loaded at start-up for the moment a widget is created in the default font.
void useGothicApplicationFont();

// Creates every row's control on `window` in row order (later rows lie on top of earlier ones)
// and returns them by name. Throws std::runtime_error for a row whose container comes nowhere
// before it, or whose name an earlier row has.
QHash<QString, QWidget *> buildControls(QWidget *window, const std::vector<ControlRow> &rows);
