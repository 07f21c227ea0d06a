// tidewell-make-synthetic-prefix DIR KEYS [SEED]: writes a synthetic Wine prefix.
#include "SyntheticPrefix.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: tidewell-make-synthetic-prefix DIR KEYS [SEED]\n";
        return 2;
    }
    const auto keys = std::strtoull(argv[2], nullptr, 10);
    const auto seed =
        argc > 3 ? static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1u;
    try {
        const auto stats = tw::bench::writeSyntheticPrefix(argv[1], keys, seed);
        std::cout << argv[1] << ": " << stats.keys << " keys, " << stats.values << " values, "
                  << stats.files << " files, " << stats.hiveBytes << " bytes of hives\n";
    } catch (const std::exception& e) {
        std::cerr << "tidewell-make-synthetic-prefix: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
