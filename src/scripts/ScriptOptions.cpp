#include "scripts/ScriptOptions.h"

#include "frame/Decimal.h"
#include "frame/Text.h"

#include <cwctype>

namespace ih::scripts {

namespace {

// Reads the option text after the opening bracket.
class OptionReader {
public:
    explicit OptionReader(std::wstring_view text) : text_(text) {}

    std::size_t Position() const noexcept { return position_; }

    void SkipSpaces() {
        while (position_ < text_.size() && text_[position_] == L' ') ++position_;
    }

    // Takes `word` when the text continues with it, compared without regard
    // to case over the word's own length.
    bool TakeWord(std::wstring_view word) {
        if (text_.size() - position_ < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (std::towlower(text_[position_ + i]) != std::towlower(word[i])) return false;
        }
        position_ += word.size();
        return true;
    }

    // An option word, the spaces after it, an optional comma and the spaces after that.
    bool TakeFlag(std::wstring_view word) {
        if (!TakeWord(word)) return false;
        SkipSpaces();
        if (position_ < text_.size() && text_[position_] == L',') {
            ++position_;
            SkipSpaces();
        }
        return true;
    }

    bool At(wchar_t ch) const noexcept { return position_ < text_.size() && text_[position_] == ch; }

    // A decimal integer (see ParseDecimal); without digits 0, and the position stays.
    std::int32_t TakeInteger() {
        const DecimalNumber number = ParseDecimal(text_.substr(position_));
        position_ += number.length;
        return number.value;
    }

private:
    std::wstring_view text_;
    std::size_t position_ = 0;
};

void ReplaceAll(std::wstring& text, std::wstring_view placeholder, std::wstring_view replacement) {
    for (std::size_t at = text.find(placeholder); at != std::wstring::npos;
         at = text.find(placeholder, at + replacement.size())) {
        text.replace(at, placeholder.size(), replacement);
    }
}

} // namespace

ScriptOptions ParseScriptOptions(std::wstring_view line) {
    line = TrimSpaces(line);
    ScriptOptions options;
    options.command = std::wstring(line);
    if (line.empty() || line.front() != L'[') return options;

    OptionReader reader(line.substr(1));
    reader.SkipSpaces();
    options.runAlways = reader.TakeFlag(L"RunAlways");
    options.show = reader.TakeFlag(L"Show");
    if (reader.TakeWord(L"NoneWait"))
        options.exitRule = kExitRuleIgnoreExitCode;
    else if (reader.TakeWord(L"None"))
        options.exitRule = kExitRuleNoWait;
    else if (!reader.At(L']'))
        options.exitRule = reader.TakeInteger();

    const std::size_t close = line.find(L']', 1 + reader.Position());
    if (close == std::wstring_view::npos || close + 1 == line.size()) return options; // the whole line
    // The command is what follows the bracket that ends the options, even when
    // the same text also stands inside the options.
    options.command = std::wstring(line.substr(close + 1));
    return options;
}

std::wstring SubstitutePlaceholders(std::wstring_view command, std::wstring_view installPath,
                                    std::wstring_view scriptPath, std::wstring_view version) {
    std::wstring result(command);
    ReplaceAll(result, L"%InstallPath%", installPath);
    ReplaceAll(result, L"%ScriptPath%", scriptPath);
    ReplaceAll(result, L"%QmxVersion%", version);
    return result;
}

} // namespace ih::scripts
