#include "midi/port_choice.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "text/words.h"

namespace zirvon::midi {
namespace {

bool contains(std::string_view text, std::string_view part, bool ignore_case) {
    if (!ignore_case) return text.find(part) != std::string_view::npos;
    const auto hit = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                 [](char a, char b) { return ascii_lower(a) == ascii_lower(b); });
    return hit != text.end();
}

/// A port of zirvon's own client: "zirvon:in", or "zirvon-01:in" where
/// JACK numbered a second client of the name.
bool own_port(std::string_view name) {
    constexpr std::string_view kClient = "zirvon";
    if (name.size() <= kClient.size() || !contains(name.substr(0, kClient.size()), kClient, true)) return false;
    std::string_view rest = name.substr(kClient.size());
    if (rest.starts_with('-')) {
        rest.remove_prefix(1);
        const std::size_t digits = rest.find_first_not_of("0123456789");
        if (digits == 0 || digits == std::string_view::npos) return false;
        rest.remove_prefix(digits);
    }
    return rest.starts_with(':');
}

}  // namespace

std::string effective_port_choice(const std::optional<std::string>& option,
                                  const char* environment_value) {
    if (option) return *option;
    if (environment_value != nullptr) return environment_value;
    return {};
}

std::string port_choice_origin(const std::optional<std::string>& option,
                               const char* environment_value) {
    if (option) return "/port=" + *option;
    if (environment_value != nullptr) return std::string(kPortVariable) + "=" + environment_value;
    return {};
}

namespace {

std::string asked(std::string_view services) {
    return services.empty() ? std::string() : " (asked: " + std::string(services) + ")";
}

}  // namespace

std::string no_port_message(std::string_view services) {
    return "no MIDI output port to play on" + asked(services) +
           "; start a software synthesizer such as FluidSynth or TiMidity, or write a MIDI file "
           "with /midi instead";
}

std::string no_ports_found_message(std::string_view services) {
    return "no MIDI output ports found" + asked(services) +
           "; a software synthesizer such as FluidSynth or TiMidity adds one";
}

std::string no_input_ports_found_message(std::string_view services) {
    return "no MIDI input ports found" + asked(services) + "; a MIDI keyboard connected adds one";
}

std::optional<std::size_t> choose_port(const std::vector<std::string>& names,
                                       std::string_view choice, std::string& error) {
    if (choice.empty()) {
        // Nor zirvon's own port: the keyboard input of its language server
        // would take the notes played and hand them back as keys.
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!contains(names[i], "through", true) && !own_port(names[i])) return i;
        }
        error = no_port_message();
        return std::nullopt;
    }
    if (all_digits(choice)) {
        std::size_t number = 0;
        const auto [end, ec] = std::from_chars(choice.data(), choice.data() + choice.size(), number);
        if (ec == std::errc() && number < names.size()) return number;
        error = "there is no MIDI output port " + std::string(choice) + " (" +
                std::to_string(names.size()) + " found; /ports lists them)";
        return std::nullopt;
    }
    for (bool ignore_case : {false, true}) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (contains(names[i], choice, ignore_case)) return i;
        }
    }
    error = "no MIDI output port has \"" + std::string(choice) +
            "\" in its name (/ports lists them)";
    return std::nullopt;
}

}  // namespace zirvon::midi
