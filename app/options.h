// The command line's options: one table whose rows say each option's
// name, what it takes, what it does and its line in the help. Parsing, the
// suggestions for mistakes and the help all read this table.
#pragma once

#include <string>
#include <string_view>

#include "app/command_line.h"
#include "outputs/output_table.h"
#include "text/words.h"

namespace zirvon {

/// How the word after the `/` or `-` must match an option's name.
enum class Match {
    word,    ///< the whole word, in any case: /list, -LIST
    prefix,  ///< the word begins with the name: /playback is /play, -?x is /?
};

/// What an option takes besides its name.
enum class Takes {
    nothing,
    value,          ///< a value joined by `=`: /port=2
    next_argument,  ///< the argument after it: -o PATH
};

/// One option: a row of the table.
struct Option {
    std::string_view name;  ///< the word after the `/` or `-`, in lower case
    Takes takes;
    Match match;
    void (*apply)(RunPlan& plan, const std::string& value);
    std::string_view shown;  ///< as the help shows it; empty: another spelling of the row above
    std::string_view help;   ///< the option's line in the help
    const OutputKind* output = nullptr;  ///< the file it asks for, for the outputs' options
};

/// The row that `word` (the option without its `/` or `-`) names, and the
/// value after its `=`; null when none does.
const Option* find_option(std::string_view word, std::string& value, bool& has_value);

/// The message for an option that no row matches, with the one option that
/// is close to it, if there is one.
std::string unknown_option(std::string_view arg);

/// The kind of source a name's extension gives (.mml, .mzt or .mid, in any
/// case); none for another extension or none.
SourceKind source_kind_of(std::string_view name);

}  // namespace zirvon
