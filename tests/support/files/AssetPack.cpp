#include "support/files/AssetPack.h"

#include <fstream>

#include "pack/UnpackTable.h"
#include "support/files/Mp3File.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"

namespace {

// The music track, encoded once per test program.
const std::string& TestMusic() {
    static const std::string music = [] {
        TempDir dir;
        WriteMp3(dir.File("music.mp3"), LoudThenQuiet());
        return TempDir::Read(dir.File("music.mp3"));
    }();
    return music;
}

}  // namespace

std::string TestAssetBytes(const std::string& entry) {
    if (entry == "SOUNDJUMP") return Wav(Tone(1500, 440, 60));
    if (entry == "MP3TEST") return TestMusic();
    return "bytes of " + entry + "\n\x01\xff";
}

void WriteTestAssetPack(const std::string& file, const std::map<std::string, std::string>& replacements,
                        const std::vector<std::pair<std::string, std::string>>& extra) {
    std::string header = std::to_string(kUnpackTable.size() + extra.size());
    std::string data;
    for (const auto& asset : kUnpackTable) {
        auto replaced = replacements.find(asset.entry);
        const std::string bytes = replaced != replacements.end() ? replaced->second : TestAssetBytes(asset.entry);
        header += " " + std::string(asset.entry) + " " + std::to_string(bytes.size());
        data += bytes + "\n";
    }
    for (const auto& [name, bytes] : extra) {
        header += " " + name + " " + std::to_string(bytes.size());
        data += bytes + "\n";
    }
    std::ofstream(file, std::ios::binary) << header << "\n" << data;
}
