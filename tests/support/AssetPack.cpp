#include "support/AssetPack.h"

#include <fstream>

#include "app/Unpack.h"
#include "support/WavFile.h"

std::string TestAssetBytes(const std::string& entry) {
    if (entry == "SOUNDJUMP") return Wav(Tone(1500, 440, 60));
    return "bytes of " + entry + "\n\x01\xff";
}

void WriteTestAssetPack(const std::string& file) {
    std::string header = std::to_string(kUnpackTable.size());
    std::string data;
    for (const auto& asset : kUnpackTable) {
        header += " " + std::string(asset.entry) + " " + std::to_string(TestAssetBytes(asset.entry).size());
        data += TestAssetBytes(asset.entry) + "\n";
    }
    std::ofstream(file, std::ios::binary) << header << "\n" << data;
}
