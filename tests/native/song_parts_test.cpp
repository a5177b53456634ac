#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "song/general_midi.h"
#include "song/song_parts.h"

namespace {

MidiEvent ev(double t, uint8_t status, uint8_t a, uint8_t b = 0) {
    return MidiEvent{t, {status, a, b}, uint8_t((status & 0xF0) == 0xC0 ? 2 : 3)};
}

// Channel index, GM program changes (-1: none), then one note each.
MidiSong gmSong(const std::vector<std::pair<int, int>>& channels) {
    MidiSong song;
    for (auto [c, gm] : channels)
        if (gm >= 0) song.events.push_back(ev(0.0, uint8_t(0xC0 | c), uint8_t(gm)));
    for (auto [c, gm] : channels) song.events.push_back(ev(0.5, uint8_t(0x90 | c), 60, 100));
    song.lengthSeconds = 1.0;
    return song;
}

}  // namespace

TEST(GeneralMidi, FamiliesAreTheFactoryBanksCategories) {
    std::ifstream file(VORZLE_SOURCE_DIR "/resources/factory_bank.txt");
    std::stringstream text;
    text << file.rdbuf();
    // Each "# Category: NAME" run of the bank source, as first..last program.
    std::vector<std::tuple<std::string, int, int>> categories;
    const std::regex line(R"(# Category: (.+)|program (\d+) )");
    const std::string source = text.str();
    for (std::sregex_iterator m(source.begin(), source.end(), line), end; m != end; ++m) {
        if ((*m)[1].matched) categories.emplace_back((*m)[1].str(), -1, -1);
        else if (!categories.empty()) {
            auto& [name, first, last] = categories.back();
            if (first < 0) first = std::stoi((*m)[2].str());
            last = std::stoi((*m)[2].str());
        }
    }
    for (const ProgramFamily& f : factoryFamilies())
        EXPECT_NE(std::find(categories.begin(), categories.end(), std::make_tuple(std::string(f.name), f.first, f.last)),
                  categories.end())
            << f.name;
    for (int gm = 0; gm < 128; ++gm) EXPECT_NE(familyOf(gmPreferredProgram(gm)), nullptr) << gmProgramName(gm);
}

TEST(GeneralMidi, ChoicesAndSpreading) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> channels;
        std::vector<int> expected;   // Vorzle program per listed channel
    };
    const Case cases[] = {
        {"families", {{0, 33}, {1, 48}, {2, 19}, {3, 0}}, {10, 45, 75, 65}},
        {"one GM program twice spreads", {{1, 33}, {2, 33}}, {10, 11}},
        {"no program change plays GM 0", {{4, -1}}, {65}},
        {"three synth basses", {{0, 38}, {1, 39}, {2, 37}}, {1, 5, 16}},
    };
    for (const Case& c : cases) {
        const MidiSong song = gmSong(c.channels);
        const GmAssignment assignment(song);
        for (size_t k = 0; k < c.channels.size(); ++k)
            EXPECT_EQ(assignment.program(c.channels[k].first, std::max(c.channels[k].second, 0)), c.expected[k])
                << c.what;
    }
    // The drum channel, bass at the top of its family: spreading wraps to the family's start.
    const GmAssignment wrap(gmSong({{0, 37}, {1, 37}, {9, 0}}));
    EXPECT_EQ(wrap.program(1, 37), 1);
    EXPECT_EQ(wrap.program(9, 0), -1);
}

TEST(SongParts, PreparedAndSplitPerChannel) {
    SongLayout gm;
    gm.generalMidi = gm.perChannel = true;
    MidiSong song = gmSong({{1, 33}, {9, -1}, {2, -1}});
    song.events.push_back(ev(0.6, 0x92, 120, 100));   // beyond the keyboard an octave up
    const PrepareCounts counts = prepareSong(song, gm);
    EXPECT_EQ(counts.transpose, kGmTranspose);
    EXPECT_EQ(counts.drumEventsLeftOut, 1u);
    EXPECT_EQ(counts.notesOutOfRange, 1u);
    const std::vector<SongPart> parts = songParts(song, true);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].channel, 1);
    EXPECT_EQ(parts[0].firstProgram, 10);
    EXPECT_EQ(parts[1].firstProgram, 65);   // the implicit GM 0, given from the start
    EXPECT_EQ(parts[1].song.events.back().bytes[1], 72);
    EXPECT_EQ(parts[1].song.lengthSeconds, 1.0);

    gm.drums = true;
    MidiSong withDrums = gmSong({{9, 5}});
    prepareSong(withDrums, gm);
    EXPECT_EQ(songParts(withDrums, true).at(0).firstProgram, kGmDrumProgram);
}
