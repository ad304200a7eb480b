// groupinfo_audit_test.cpp - unit tests of the audit of the catalogue's names against the groups
#include "catalogue/catalogue.h"
#include "groupinfo/groupinfo.h"
#include "platform/platform.h"
#include "run/run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class Audit : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunOptions();
        ResetCatalogue();
        ResetGroupTable();
        OptAudit = 1;
    }
    void TearDown() override
    {
        ResetRunOptions();
        ResetCatalogue();
        ResetGroupTable();
    }

    // A group table as read from a file with these patterns (so the audit
    // reads no file of its own).
    static void Groups(std::initializer_list<const char*> patterns)
    {
        ResetGroupTable();
        int g = 0;
        for (const char* p : patterns) {
            snprintf(GroupTable[g].pattern, sizeof GroupTable[g].pattern, "%s", p);
            snprintf(GroupTable[g].directory, sizeof GroupTable[g].directory, "G%d%c", g, PathSeparator);
            g++;
        }
        GroupTableLoaded = 1;
    }

    static std::string Run()
    {
        testing::internal::CaptureStdout();
        RunAudit();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

// The catalogue names that do not contain text, one a line.
std::string NamesWithout(const char* text)
{
    std::string list;
    for (int i = 0; i < KnownRomCount; i++)
        if (strstr(EntryName(i), text) == nullptr)
            list += std::string(EntryName(i)) + "\n";
    return list;
}

// Every parenthesised (and/or bracketed) part of every name, one a line, in
// table order.
std::string Parts(bool parens, bool brackets)
{
    std::string lines;
    for (int i = 0; i < KnownRomCount; i++) {
        std::string name = EntryName(i);
        for (size_t k = 0; k < name.size(); k++) {
            char close = name[k] == '(' && parens ? ')' : name[k] == '[' && brackets ? ']' : 0;
            if (close == 0)
                continue;
            size_t end = name.find(close, k);
            lines += name.substr(k, end - k + 1) + "\n";
            k = end;
        }
    }
    return lines;
}

const std::string Heading = "Unmatched listings in QuorInfo.cfg\n";
const std::string Blank = " \n";

TEST_F(Audit, EveryNameTakenInByAGroup)
{
    Groups({"("});
    for (int i = 0; i < KnownRomCount; i++)
        CopyCounts[i] = i % 3;
    EXPECT_EQ(Run(), Heading + "[None found]\n" + Blank);
    for (int i = 0; i < KnownRomCount; i++)
        EXPECT_EQ(CopyCounts[i], 0) << "entry " << i;
}

TEST_F(Audit, ListsTheNamesNoGroupTakesIn)
{
    Groups({"(J)"});
    EXPECT_EQ(Run(), Heading + NamesWithout("(J)") + Blank);

    Groups({"(J)", "(U)", "(JU)"});
    EXPECT_EQ(Run(), Heading + "Croach, The (PD)\nReality Boy Demo 1 (PD)\nReality Boy Demo 2 (PD)\n"
                               "Virtual Pong (PD)\nVirtual-E Cursor Demo (PD)\n" + Blank);
}

TEST_F(Audit, VariantsPrintTheNamesParts)
{
    struct Case {
        int32_t audit2, audit3, audit4;
        std::string parts;
    } cases[] = {
        {1, 0, 0, ""},  // no name of the catalogue is long
        {0, 1, 0, Parts(true, false)},
        {0, 0, 1, Parts(false, true)},
        {0, 1, 1, Parts(true, true)},
    };
    for (const Case& c : cases) {
        OptAudit2 = c.audit2;
        OptAudit3 = c.audit3;
        OptAudit4 = c.audit4;
        Groups({"Tetris"});
        EXPECT_EQ(Run(), c.parts + Heading + NamesWithout("Tetris") + Blank)
            << "audit2=" << c.audit2 << " audit3=" << c.audit3 << " audit4=" << c.audit4;
    }
    EXPECT_EQ(Parts(true, false).substr(0, 4), "(U)\n");
    EXPECT_NE(Parts(false, true).find("[a1]\n"), std::string::npos);
}

TEST_F(Audit, AFileWithoutRulesCountsAsNotFound)
{
    Groups({});
    EXPECT_EQ(Run(), Heading + "QuorInfo.cfg not found\n" + Blank);

    // Groups behind an empty first slot are no help either.
    Groups({"", "("});
    EXPECT_EQ(Run(), Heading + "QuorInfo.cfg not found\n" + Blank);
}

}  // namespace
