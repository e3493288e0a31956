#include "app/settings_page_model.h"

#include <gtest/gtest.h>

#include "link/worker_codes.h"

namespace clinora {
namespace {

using List = std::vector<std::string>;

// A model after activation on the given lists.
SettingsPageModel Active(List current, List pool, bool setTypeToAll = false) {
    SettingsPageModel model;
    model.firstDisplay(0, 15);
    model.activate({std::move(current), std::move(pool), {}}, setTypeToAll);
    return model;
}

std::string NoteOf(const SettingsEffect& effect) {
    return effect.note ? effect.note->text : std::string();
}

TEST(TypedAddress, OnlyWholeNumbersInRangeReachAListOrTheBus) {
    struct Case {
        const char* text;
        AddressRole role;
        const char* address;  // empty: refused
        const char* refusal;
    };
    const Case cases[] = {
        {"104", AddressRole::NewAddress, "104", ""},
        {"0", AddressRole::NewAddress, "0", ""},
        {"00104", AddressRole::NewAddress, "104", ""},  // one text per address
        {" 7 ", AddressRole::Target, "7", ""},
        {"65534", AddressRole::NewAddress, "65534", ""},  // a fresh board's address
        {"65535", AddressRole::Target, "65535", ""},      // every board may be talked to
        {"65535", AddressRole::NewAddress, "", kBroadcastRefusedText},
        {"70000", AddressRole::NewAddress, "", kAddressRangeText},
        {"65536", AddressRole::Target, "", kAddressRangeText},
        {"", AddressRole::Target, "", kAddressRangeText},
        {"-1", AddressRole::NewAddress, "", kAddressRangeText},
        {"12.5", AddressRole::NewAddress, "", kAddressRangeText},
        {"1 2", AddressRole::NewAddress, "", kAddressRangeText},
        {"abc", AddressRole::Target, "", kAddressRangeText},
        {"0000000000000000000001", AddressRole::Target, "1", ""},
    };
    for (const Case& c : cases) {
        const TypedAddress typed = CheckTypedAddress(c.text, c.role);
        EXPECT_EQ(typed.address, c.address) << c.text;
        EXPECT_EQ(typed.refusal, c.refusal) << c.text;
    }
}

TEST(SettingsSelectors, StoredChoices) {
    // Tilt range: stored value and prompt file on leaving; shown entry on first display.
    struct Tilt {
        int entry, range;
        const char* promptFile;
    };
    for (const Tilt t : {Tilt{0, 15, "CalPrompts.csv"}, Tilt{1, 5, "CalPrompts5.csv"},
                         Tilt{3, 15, "CalPrompts.csv"}, Tilt{7, 90, "CalPrompts90.csv"},
                         Tilt{-1, 15, "CalPrompts.csv"}}) {
        SettingsPageModel model = Active({}, {});
        model.chooseTiltRange(t.entry);
        const auto leaving = model.deactivate();
        EXPECT_EQ(leaving.tiltRange, t.range) << t.entry;
        EXPECT_EQ(leaving.promptFile, t.promptFile) << t.entry;
    }
    for (const auto& [range, entry] : {std::pair{45, 5}, {15, 3}, {12, 3}, {0, 3}}) {
        SettingsPageModel model;
        model.firstDisplay(0, range);
        EXPECT_EQ(model.view().tiltEntry, entry) << range;
    }

    // "UseTags": a stored value outside the selector selects "EM" and is stored back as 0.
    for (const auto& [useTags, entry, store] :
         {std::tuple{5, 5, -1}, {6, 0, 0}, {99, 0, 0}, {-2, 0, 0}, {0, 0, -1}}) {
        SettingsPageModel model;
        EXPECT_EQ(model.firstDisplay(useTags, 15).value_or(-1), store) << useTags;
        EXPECT_EQ(model.view().typeEntry, entry);
        EXPECT_EQ(model.view().typeText, TypeEntries()[entry]);
        EXPECT_EQ(model.deactivate().useTags, entry);
    }
}

TEST(SettingsKeypad, FiveCharactersAtMostBackspaceAndClear) {
    SettingsPageModel model = Active({}, {});
    model.focusEntry(EntryBox::PoolEntry);
    for (char d : std::string("123456")) model.pressDigit(d);
    EXPECT_EQ(model.view().entries[3], "12345");  // the sixth digit is ignored
    model.pressBackspace();
    EXPECT_EQ(model.view().entries[3], "1234");
    model.pressDigit('9');
    model.pressClear();
    EXPECT_EQ(model.view().entries[3], "");
    model.pressBackspace();  // nothing left to take
    EXPECT_EQ(model.view().entries[3], "");
    EXPECT_EQ(model.view().entries[0], "");  // the other boxes are untouched

    // A digit whitens the green box it types into.
    SettingsPageModel fresh = Active({"101"}, {});
    fresh.onEvent(kEventAddressChangeGaveUp, 0, {});
    fresh.focusEntry(EntryBox::NewAddress);
    fresh.pressDigit('1');
    EXPECT_EQ(fresh.view().newColour, BoxColour::White);
    EXPECT_EQ(fresh.view().initColour, BoxColour::LightRed);
}

TEST(SettingsLists, MovesBetweenSetAndPool) {
    // Set to pool and back: once in the set, not in the pool.
    SettingsPageModel model = Active({"101", "102"}, {"104"});
    model.selectSetEntry(0);
    EXPECT_EQ(model.view().entries[0], "101");  // Set Init Address
    EXPECT_EQ(model.view().entries[2], "101");  // Change Address new
    EXPECT_TRUE(model.giveBack().listsChanged);
    EXPECT_EQ(model.lists().pool, (List{"104", "101"}));
    model.selectPoolEntry(1);
    const SettingsEffect take = model.takeFromPool();
    EXPECT_TRUE(take.listsChanged && take.focusPool);
    EXPECT_EQ(model.lists().current, (List{"102", "101"}));
    EXPECT_EQ(model.lists().pool, List{"104"});

    // A pool address the set already holds: "Already exists." and nothing changes.
    SettingsPageModel twice = Active({"101"}, {"104", "101"});
    twice.selectPoolEntry(1);
    const SettingsEffect refused = twice.takeFromPool();
    EXPECT_EQ(NoteOf(refused), kAlreadyExistsText);
    EXPECT_EQ(refused.note->seconds, 3);
    EXPECT_FALSE(refused.listsChanged);
    EXPECT_EQ(twice.lists().current, List{"101"});
    EXPECT_EQ(twice.lists().pool, (List{"104", "101"}));

    // Taking keeps the same pool position selected.
    SettingsPageModel keep = Active({}, {"104", "105", "106"});
    keep.selectPoolEntry(0);
    keep.takeFromPool();
    EXPECT_EQ(keep.view().poolSelected, 0);
    EXPECT_EQ(keep.view().pool, (List{"105", "106"}));

    // Eight current addresses: six shown, six is the most, all eight kept.
    SettingsPageModel full = Active({"1", "2", "3", "4", "5", "6", "7", "8"}, {"9"});
    EXPECT_EQ(full.view().set, (List{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(full.setSize(), 6);
    full.selectPoolEntry(0);
    EXPECT_EQ(NoteOf(full.takeFromPool()), kSixItemsText);
    EXPECT_EQ(full.lists().current.size(), 8u);

    // "->" copies the selected set entry into Set Init Address.
    SettingsPageModel copy = Active({"101", "102"}, {});
    copy.selectSetEntry(1);
    copy.setEntryText(EntryBox::InitAddress, "");
    copy.copySelectionToInit();
    EXPECT_EQ(copy.view().entries[0], "102");
}

TEST(SettingsLists, PoolEntryBoxAddsOnlyNewValidAddresses) {
    struct Case {
        const char* typed;
        const char* note;
        List pool;
    };
    const Case cases[] = {
        {"110", "", {"104", "110"}},
        {"0110", "", {"104", "110"}},
        {"104", kAlreadyExistsText, {"104"}},
        {"", "", {"104"}},
        {"70000", kAddressRangeText, {"104"}},
        {"65535", kBroadcastRefusedText, {"104"}},
        {"1a", kAddressRangeText, {"104"}},
    };
    for (const Case& c : cases) {
        SettingsPageModel model = Active({}, {"104"});
        model.setEntryText(EntryBox::PoolEntry, c.typed);
        EXPECT_EQ(NoteOf(model.addToPool()), c.note) << c.typed;
        EXPECT_EQ(model.lists().pool, c.pool) << c.typed;
        EXPECT_EQ(model.view().pool, c.pool) << c.typed;
    }
    SettingsPageModel model = Active({}, {"104", "105"});
    model.selectPoolEntry(0);
    model.deleteFromPool();
    EXPECT_EQ(model.lists().pool, List{"105"});
}

}  // namespace
}  // namespace clinora
