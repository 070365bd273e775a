// How the rules decide where an icon shows: the defaults, a rule for one icon or for every
// icon of a program, names compared without case, rule order, the program's own icons,
// owners that cannot be named, windows reused by another program, and what reaches the
// real tray when a rule or the default changes. Owner windows, their programs and the
// tray are stood in for through the engine's environment; one test uses the platform's.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/diag/process_utils.h"
#include "app/interception/interception_state.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "tests/interception/forward_builder.h"

namespace qly_rules_test {

using namespace qly;

namespace {

using qly_interception_test::Forward;
using qly_interception_test::Request;

constexpr uint32_t kOwnPid = 1000;

struct Owner {
    uint32_t pid;
    uint32_t tid;
    std::string name;
};

class FakeRuleEnvironment : public qly::RuleEnvironment {
  public:
    std::map<uint64_t, Owner> owners;
    std::vector<std::pair<uint32_t, uint32_t>> sent;  // (uid, command)

    void ThreadProcess(uint64_t window, uint32_t* pid, uint32_t* tid) override {
        auto it = owners.find(window);
        *pid = it == owners.end() ? 0 : it->second.pid;
        *tid = it == owners.end() ? 0 : it->second.tid;
    }
    std::string ProcessName(uint64_t window) override {
        auto it = owners.find(window);
        return it == owners.end() ? std::string() : it->second.name;
    }
    uint32_t OwnProcessId() override { return kOwnPid; }
    uint64_t CopyIcon(uint64_t) override { return 0; }
    std::vector<std::vector<uint8_t>> StoredRequests(
        const std::function<bool(const TrayItem&)>& wanted) override {
        std::vector<std::vector<uint8_t>> copies;
        for (const TrayItem* stored : qly::Registry().Items())
            if (wanted(*stored))
                copies.emplace_back(reinterpret_cast<const uint8_t*>(stored),
                                    reinterpret_cast<const uint8_t*>(stored) + stored->total_size);
        return copies;
    }
    void SendToTray(const TrayItem* item, uint32_t command) override {
        sent.emplace_back(item->uid, command);
    }
};

constexpr uint64_t kNotepad = 0x4400;
constexpr uint64_t kCalc = 0x5500;
constexpr uint64_t kOwn = 0x6600;
constexpr uint64_t kNobody = 0x7700;

class Rules : public ::testing::Test {
  protected:
    void SetUp() override {
        m_env.owners[kNotepad] = {200, 201, "notepad.exe"};
        m_env.owners[kCalc] = {300, 301, "calc.exe"};
        m_env.owners[kOwn] = {kOwnPid, 1001, "quillory.exe"};
        qly::SetRuleEnvironment(&m_env);
        g_settings.default_flags = 3;
        g_rule_list.clear();
        qly::TheRuleCache().Clear();
        qly::Registry().Clear();
    }
    void TearDown() override {
        qly::Registry().Clear();
        qly::SetRuleEnvironment(nullptr);
    }
    void AddRule(const char* name, uint32_t icon_id, uint32_t flags) {
        IconRule r;
        std::strncpy(r.process_name, name, sizeof r.process_name - 1);
        r.icon_id = icon_id;
        r.flags = flags;
        g_rule_list.push_back(std::move(r));
    }
    uint32_t Flags(uint64_t window,
                   uint32_t uid,
                   int* result = nullptr,
                   uint32_t* validity = nullptr) {
        uint32_t flags = 0, v = 0;
        const int r = qly::LookupRule(window, uid, &flags, &v, nullptr);
        if (result)
            *result = r;
        if (validity)
            *validity = v;
        return flags;
    }
    uint32_t Shown(uint64_t window, uint32_t uid, uint32_t* position = nullptr) {
        uint32_t flags = 0, v = 0;
        qly::EffectiveVisibility(window, uid, &flags, &v, nullptr, position);
        return flags;
    }
    // Registers an icon as the receiver would: the lookup names its program first.
    TrayItem* Register(uint64_t window, uint32_t uid) {
        Request r;
        r.owner = static_cast<uint32_t>(window);
        r.uid = uid;
        std::vector<uint8_t> rec = Forward(r);
        TrayItem* item = reinterpret_cast<TrayItem*>(rec.data());
        uint32_t flags = 0, v = 0;
        qly::LookupRule(window, uid, &flags, &v, item);
        return qly::Registry().Insert(item);
    }

    FakeRuleEnvironment m_env;
};

TEST_F(Rules, IconsWithoutARuleFollowTheDefaults) {
    int result = 0;
    uint32_t validity = 0;
    EXPECT_EQ(Flags(kNotepad, 1, &result, &validity), 15u);
    EXPECT_EQ(result, qly::kRuleDecided);
    EXPECT_EQ(validity, 3u);
    EXPECT_EQ(Shown(kNotepad, 1), 3u);
    g_settings.default_flags = 0;
    EXPECT_EQ(Flags(kNotepad, 1), 12u);
    EXPECT_EQ(Shown(kNotepad, 1), 0u);
    g_settings.default_flags = 2;
    EXPECT_EQ(Shown(kNotepad, 1), 2u) << "menu only";

    // An owner whose program cannot be named: the defaults, without validity.
    EXPECT_EQ(Flags(kNobody, 1, &result, &validity), 14u);
    EXPECT_EQ(result, qly::kRuleUnnamed);
    EXPECT_EQ(validity, 0u);
}

TEST_F(Rules, RuleForOneIconDecidesBothPlacesAndThePosition) {
    AddRule("notepad.exe", 7, 0x105);
    uint32_t position = 0;
    EXPECT_EQ(Flags(kNotepad, 7), 0x105u);
    EXPECT_EQ(Shown(kNotepad, 7, &position), 0x1u) << "tray from the default, never in the menu";
    EXPECT_EQ(position, 1u);
    g_settings.default_flags = 2;
    EXPECT_EQ(Shown(kNotepad, 7), 0x0u);
    // Other icons of the program, and the same id of another program, are not covered.
    EXPECT_EQ(Flags(kNotepad, 8), 14u);
    EXPECT_EQ(Flags(kCalc, 7), 14u);
}

TEST_F(Rules, AnyIconRuleCoversEveryIconOfItsProgramAndMarksTheItems) {
    AddRule("NOTEPAD.EXE", ANY_ICON_ID, 0x2);
    for (uint32_t uid : {1u, 2u, 3u}) {
        Request r;
        r.owner = kNotepad;
        r.uid = uid;
        std::vector<uint8_t> rec = Forward(r);
        TrayItem* item = reinterpret_cast<TrayItem*>(rec.data());
        uint32_t flags = 0, v = 0;
        EXPECT_EQ(qly::LookupRule(kNotepad, uid, &flags, &v, item), qly::kRuleDecided);
        EXPECT_EQ(flags, 0x2u) << uid;
        EXPECT_EQ(item->item_flags & kTrayItemAnyIconRule, kTrayItemAnyIconRule) << uid;
        EXPECT_STREQ(item->exe_name, "notepad.exe") << "the name is the owner's, not the rule's";
    }
}

TEST_F(Rules, FirstMatchingRuleInListOrderWins) {
    AddRule("notepad.exe", 5, 0x1);
    AddRule("notepad.exe", ANY_ICON_ID, 0x2);
    EXPECT_EQ(Flags(kNotepad, 5), 0x1u);
    EXPECT_EQ(Flags(kNotepad, 6), 0x2u);

    g_rule_list.clear();
    qly::TheRuleCache().Clear();
    AddRule("notepad.exe", ANY_ICON_ID, 0x2);
    AddRule("notepad.exe", 5, 0x1);
    EXPECT_EQ(Flags(kNotepad, 5), 0x2u);
    EXPECT_EQ(Flags(kNotepad, 6), 0x2u);
}

TEST_F(Rules, OwnIconsAreShownWithoutARule) {
    int result = 0;
    uint32_t validity = 0;
    uint32_t position = 0;
    EXPECT_EQ(Flags(kOwn, 0, &result, &validity), 0x103u);
    EXPECT_EQ(result, qly::kRuleOwnProcess);
    EXPECT_EQ(validity, 3u);
    EXPECT_EQ(Shown(kOwn, 0, &position), 3u);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(Flags(kOwn, 4096, &result, &validity), 0x3u);
    EXPECT_EQ(validity, 0u);
    g_settings.default_flags = 0;
    EXPECT_EQ(Shown(kOwn, 4096), 3u) << "our own icons do not follow the default";
}

TEST_F(Rules, ChangingARuleReplaysTheIconToTheTrayOnlyWhenItsTrayVisibilityChanges) {
    Register(kNotepad, 7);
    Register(kNotepad, 8);
    Register(kCalc, 7);
    EXPECT_EQ(qly::SetRule(kNotepad, 7, 0x2, nullptr), 1);
    ASSERT_EQ(m_env.sent.size(), 1u);
    EXPECT_EQ(m_env.sent[0], std::make_pair(7u, kNimDelete));
    EXPECT_EQ(Shown(kNotepad, 7), 0x2u);
    ASSERT_EQ(g_rule_list.size(), 1u);
    EXPECT_STREQ(g_rule_list.front().process_name, "notepad.exe");

    m_env.sent.clear();
    EXPECT_EQ(qly::SetRule(kNotepad, 7, 0x2, nullptr), 1);
    EXPECT_TRUE(m_env.sent.empty()) << "nothing changed for the tray";
    EXPECT_EQ(qly::SetRule(kNotepad, 7, 0x3, nullptr), 1);
    ASSERT_EQ(m_env.sent.size(), 1u);
    EXPECT_EQ(m_env.sent[0], std::make_pair(7u, kNimAdd));
    EXPECT_EQ(g_rule_list.size(), 1u) << "the rule was changed, not added again";

    m_env.sent.clear();
    EXPECT_EQ(qly::SetRule(kNobody, 7, 0x0, nullptr), 0) << "an unnamed owner gets no rule";
    EXPECT_TRUE(m_env.sent.empty());
    EXPECT_EQ(g_rule_list.size(), 1u);
}

TEST_F(Rules, RuleForAnIconMatchedByAnyIconRuleStaysAnAnyIconRule) {
    AddRule("notepad.exe", ANY_ICON_ID, 0x3);
    TrayItem* item = Register(kNotepad, 2);
    ASSERT_NE(item->item_flags & kTrayItemAnyIconRule, 0u);
    EXPECT_EQ(qly::SetRule(kNotepad, 2, 0x2, item), 1);
    EXPECT_EQ(g_rule_list.front().icon_id, ANY_ICON_ID);
    EXPECT_EQ(Flags(kNotepad, 9), 0x2u);
}

TEST_F(Rules, ChangedDefaultMovesExactlyTheIconsThatFollowIt) {
    AddRule("calc.exe", 1, 0x3);       // always shown
    AddRule("notepad.exe", 2, 0x106);  // tray from the default
    Register(kNotepad, 1);             // no rule: default
    Register(kCalc, 1);
    Register(kNotepad, 2);
    Register(kOwn, 0);
    qly::ApplyDefaultTrayChange(1);
    EXPECT_EQ(m_env.sent,
              (std::vector<std::pair<uint32_t, uint32_t>>{{1, kNimDelete}, {2, kNimDelete}}));
    g_settings.default_flags = 2;
    m_env.sent.clear();
    qly::ApplyDefaultTrayChange(0);
    EXPECT_EQ(m_env.sent, (std::vector<std::pair<uint32_t, uint32_t>>{{1, kNimAdd}, {2, kNimAdd}}));
}

TEST_F(Rules, CachedRuleOfAWindowNowOwnedByAnotherProgramIsDiscarded) {
    ASSERT_EQ(qly::SetRule(kNotepad, 3, 0x0, nullptr), 1);
    EXPECT_EQ(Flags(kNotepad, 3), 0x0u);
    ASSERT_NE(qly::TheRuleCache().Find(kNotepad, 3), nullptr);
    // The window handle is reused by another program.
    m_env.owners[kNotepad] = {400, 401, "other.exe"};
    EXPECT_EQ(Flags(kNotepad, 3), 15u) << "the default, not the cached rule";
    EXPECT_EQ(qly::TheRuleCache().Find(kNotepad, 3), nullptr);
}

TEST(RulesOnThePlatform, WindowOfOurOwnProcessIsNamedAndTreatedAsOurs) {
    g_rule_list.clear();
    ASSERT_TRUE(qly::InitProcessApi());
    HWND own =
        CreateWindowExA(0, "STATIC", "own", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    Request r;
    r.owner = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(own));
    r.uid = 0;
    std::vector<uint8_t> rec = Forward(r);
    TrayItem* item = reinterpret_cast<TrayItem*>(rec.data());
    uint32_t flags = 0, validity = 0;
    EXPECT_EQ(qly::LookupRule(reinterpret_cast<uintptr_t>(own), 0, &flags, &validity, item),
              qly::kRuleOwnProcess);
    EXPECT_EQ(flags, 0x103u);
    EXPECT_STRCASEEQ(item->exe_name, "rules_wine_test.exe");
    DestroyWindow(own);
}

}  // namespace
}  // namespace qly_rules_test
