// The pack reader: the header, then the extraction of every entry the engine
// unpacks, as a run's start-up does, and its reading into memory, as orvtool's
// pack build reads the demo pack.
#include <string>

#include "FuzzInput.h"
#include "pack/Pack.h"
#include "pack/UnpackTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FILE* pack = OpenPack(fuzz::WriteInput(data, size));
    if (!pack) return 0;
    for (const UnpackedAsset& asset : kUnpackTable) {
        ExtractPackEntry(pack, asset.entry, fuzz::PathOf("entry"));
        std::string bytes;
        ReadPackEntry(pack, asset.entry, bytes);
    }
    ClosePack(pack);
    return 0;
}
