#pragma once
// The picture-open dialog of the window framework.

#include <functional>
#include <string>

class QWidget;

namespace vcl {

class TOpenPictureDialog {
public:
    // "description|pattern" pairs separated by '|', as the form description gives them.
    std::string Filter;
    std::string FileName;

    // Shows the dialog modally; true with FileName set when the player picked a file.
    bool Execute(QWidget* Parent = nullptr);

    // Tests answer the dialog instead of a player: return the file name, or empty to cancel.
    std::function<std::string()> OnExecute;
};

// "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp" -> "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)" with pattern "*.bmp" as Qt wants it:
// "ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)". Descriptions without a pattern in brackets get it appended.
std::string QtFilterOf(const std::string& Filter);

} // namespace vcl
