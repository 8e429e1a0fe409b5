#pragma once

// The main window's controls: kind, place, size, tab order, text, font and look. Plain data shared
// by every front end; places and sizes in twips (15 to a pixel at 96 dots per inch).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orba::ui {

enum class ControlKind { Label, TextBox, CommandButton, Image, RichTextBox };
enum class TextAlign { Left, Centre };

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

enum class Picture { None, Logo, QrCode };

// What a control looks like beyond its place, text and font.
struct ControlLook {
    std::optional<Rgb> background = std::nullopt;  // its own colour; else the window's
    bool ownerDrawn = false;  // a button the front end draws itself, in its background
    Picture picture = Picture::None;
    std::string_view tooltip = {};
};

// What a click on a button does: the handler of the window it runs. Every button has one.
enum class Command { None, StartUpgrade, ChooseTemplate, ChooseOldFolder, EndProgram, OpenWebSite };

// What a screen reader says of a control: its name (a button's or label's own text when empty),
// and the label that explains it, read as its description.
struct Accessible {
    std::string_view name = {};
    std::string_view explainedBy = {};  // the name of a label of the table
};

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;           // -1 for controls that take no focus
    std::string_view text;  // lines separated by CR LF
    double pointSize;
    bool bold;
    TextAlign align;
    ControlLook look = {};
    Command command = Command::None;
    Accessible accessible = {};
    std::string_view headingOf = {};  // a label: the control it names (its buddy), if any
};

inline constexpr int kClientWidthTwips = 15885;
inline constexpr int kClientHeightTwips = 6660;

// The progress log's text before any run.
inline constexpr std::string_view kInitialProgressLog = " 准备就绪...\r\n";

// The typeface the window was laid out for, of every control and of the log: 宋体 (SimSun).
inline constexpr std::string_view kFontName = "宋体";

// Twips to whole pixels at 96 dots per inch, to the nearest pixel.
constexpr int TwipsToPixels(int twips) {
    return (twips + 7) / 15;
}

// Every control in visual order, which is also the order in which they are stacked: a control
// lies in front of those listed before it.
std::span<const ControlSpec> MainWindowControls();

// The control of that name; the name must be in the table.
const ControlSpec& Control(std::string_view name);

// Whether the control takes focus: one with a tab index that is not a label (labels keep the
// indexes of the window's design, as its access keys would).
constexpr bool TakesFocus(const ControlSpec& spec) {
    return spec.tabIndex >= 0 && spec.kind != ControlKind::Label;
}

// The names of the controls that take focus, in tab order: by their tab index.
std::vector<std::string_view> TabOrder();

}  // namespace orba::ui
