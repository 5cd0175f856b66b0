#include "support/AssetPack.h"

#include <fstream>

#include "app/Unpack.h"

std::string TestAssetBytes(const std::string& entry) { return "bytes of " + entry + "\n\x01\xff"; }

void WriteTestAssetPack(const std::string& file) {
    std::string header = std::to_string(kUnpackTable.size());
    std::string data;
    for (const auto& asset : kUnpackTable) {
        header += " " + std::string(asset.entry) + " " + std::to_string(TestAssetBytes(asset.entry).size());
        data += TestAssetBytes(asset.entry) + "\n";
    }
    std::ofstream(file, std::ios::binary) << header << "\n" << data;
}
