// The field table's own consistency: what a new entry must get right so that the profile, the
// journal and the command line stay readable.
#include "model/TesserionFields.h"
#include "model/Profile.h"
#include "model/TesserionList.h"
#include "model/TesserionStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace tesser::model;
using Kind = TesserionField::FieldKind;
using Form = TesserionField::CommandForm;

namespace {

// The journal reads a record field by field: two fields in one place, or a gap, would shift
// every value after them.
TEST(TesserionFields, JournalAndCommandOrdersAreEachAFullSequenceWithoutTies) {
    int journal = 0;
    for (const TesserionField* field : JournalFields()) {
        EXPECT_EQ(field->JournalOrder, ++journal) << field->Key;
    }
    int command = 0;
    for (const TesserionField* field : CommandFields()) {
        EXPECT_EQ(field->CommandOrder, ++command) << field->Option;
        EXPECT_NE(field->Form, Form::None) << field->Option;
        EXPECT_FALSE(field->Help.empty()) << field->Option;
        EXPECT_EQ(FindFieldByOption(field->Option), field);
    }
    // Every stored field is also recorded, so that an undo puts back what a run used.
    for (const TesserionField& field : TesserionFields()) {
        if (!field.Key.empty()) {
            EXPECT_GT(field.JournalOrder, 0) << field.Key;
        }
    }
}

TEST(TesserionFields, EachFieldHasTheAccessorAndWordsOfItsKind) {
    std::set<std::string_view> keys;
    for (const TesserionField& field : TesserionFields()) {
        SCOPED_TRACE(std::string(field.Key));
        EXPECT_TRUE(field.Key.empty() || keys.insert(field.Key).second);
        EXPECT_EQ(field.TextOf != nullptr, field.Kind == Kind::Text || field.Kind == Kind::Name);
        EXPECT_EQ(field.NumberOf != nullptr, field.Kind == Kind::Number);
        EXPECT_EQ(field.FlagOf != nullptr, field.Kind == Kind::Flag);
        EXPECT_EQ(field.ChoiceOf != nullptr && field.SetChoice != nullptr,
                  field.Kind == Kind::Choice);
        if (field.Kind == Kind::Choice) {
            EXPECT_FALSE(field.Words.empty());
        }
        if (field.Checked || field.Check != nullptr) {
            EXPECT_FALSE(field.Invalid.empty());
        }
        if (field.Kind == Kind::Number && !field.Key.empty()) {
            EXPECT_LT(field.Minimum, field.Maximum);
        }
        if (field.Form == Form::Word) {
            // Each value has a word that --show can write and the option reads back.
            for (std::size_t value = 0; value < field.Words.size(); ++value) {
                bool named = false;
                for (const TesserionField::CommandWord& word : field.CommandWords) {
                    named = named || word.Value == static_cast<std::int32_t>(value);
                }
                EXPECT_TRUE(named) << value;
            }
        }
    }
}

// Each choice's words read back as the value written, for every value, through a real profile.
TEST(TesserionFields, EveryWordOfEveryChoiceComesBackFromTheProfile) {
    for (const TesserionField& field : TesserionFields()) {
        if (field.Kind != Kind::Choice || field.Key.empty()) {
            continue;
        }
        for (std::size_t value = 0; value < field.Words.size(); ++value) {
            SCOPED_TRACE(std::string(field.Key) + " " + std::to_string(value));
            Tesserion t;
            t.Name = "Probe";
            field.SetChoice(t, static_cast<std::int32_t>(value));
            TesserionList list;
            list.Insert(t);
            Profile profile;
            SaveTesserions(profile, list);
            TesserionList back;
            LoadTesserions(profile, back);
            ASSERT_NE(back.Find("Probe"), nullptr);
            EXPECT_EQ(field.ChoiceOf(*back.Find("Probe")), static_cast<std::int32_t>(value));
        }
    }
}

} // namespace
