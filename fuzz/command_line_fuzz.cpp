// Arbitrary argument vectors (NUL-separated) read into a run plan.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zirvon;
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    if (size == 0) args.clear();
    const RunPlan plan = parse_command_line(args);

    FUZZ_CHECK(plan.no_arguments == args.empty());
    FUZZ_CHECK(plan.tape_name_given || plan.tape_name == "MUSICDATA");
    if (plan.output_given) FUZZ_CHECK(!plan.output_name.empty());
    FUZZ_CHECK(output_file_name(plan.output_name, *output_for_option("midi")).ends_with(".MID"));
    if (plan.have_source && !plan.output_given) {
        FUZZ_CHECK(plan.output_name.size() >= 4);
        FUZZ_CHECK(plan.output_name.ends_with(".MZT"));
    }
    if (plan.have_source) {
        if (plan.kind == SourceKind::tape && !plan.output_given) {
            FUZZ_CHECK(plan.source_name == plan.output_name);
        }
        if (plan.kind == SourceKind::mml) FUZZ_CHECK(plan.source_name.ends_with(".MML"));
        if (plan.kind == SourceKind::none && !plan.bad_extension) {
            FUZZ_CHECK(plan.source_name == plan.typed_name);
        }
    } else {
        FUZZ_CHECK(plan.kind == SourceKind::none && plan.source_name.empty());
    }
    return 0;
}
