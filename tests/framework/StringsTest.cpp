#include <gtest/gtest.h>

#include "framework/Strings.h"

namespace {

TEST(StringList, EditsKeepOrderAndBadIndexesRaiseWithoutChange)
{
    TStringList list;
    list.Add("b");
    list.Insert(0, "a");
    list.Add("c");
    list.Move(2, 0);
    EXPECT_EQ(list.GetCommaText(), "c,a,b");
    list.Exchange(0, 2);
    list.Delete(1);
    EXPECT_EQ(list.GetCommaText(), "b,c");
    EXPECT_EQ(list.IndexOf("C"), 1);   // without regard to case
    EXPECT_EQ(list.IndexOf("d"), -1);
    EXPECT_THROW(list.Strings(2), EStringListError);
    EXPECT_THROW(list.Insert(3, "x"), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
    EXPECT_THROW(list.Move(0, 5), EStringListError);
    EXPECT_EQ(list.Count(), 2);
}

TEST(StringList, TextSplitsAtEveryLineBreakAndJoinsWithCrLf)
{
    TStringList list;
    list.SetText("one\r\ntwo\nthree\rfour");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Strings(3), "four");
    EXPECT_EQ(list.GetText(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    list.SetText("x\r\n\r\n");   // an empty line in the middle stays; none after the last break
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Strings(1), "");
}

TEST(StringList, CommaTextQuotesWhatNeedsItAndReadsItBack)
{
    TStringList list;
    list.Add("plain");
    list.Add("two words");
    list.Add("say \"hi\"");
    list.Add("a,b");
    list.Add("");
    AnsiString text = list.GetCommaText();
    EXPECT_EQ(text, R"(plain,"two words","say ""hi""","a,b","")");
    TStringList back;
    back.SetCommaText(text);
    EXPECT_TRUE(back.Equals(&list));

    back.SetCommaText(" a  b,c ,");   // blanks separate too; a trailing comma adds an empty item
    EXPECT_EQ(back.GetCommaText(), "a,b,c,\"\"");
    back.SetCommaText("\"unterminated");   // malformed input: no fault
    EXPECT_EQ(back.Strings(0), "unterminated");
}

TEST(StringList, UpdatesAnnounceOneChange)
{
    TStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&](TObject*) { ++changing; };
    list.OnChange = [&](TObject*) { ++changed; };
    list.Add("a");
    EXPECT_EQ(changed, 1);
    list.SetText("x\ny\nz");
    EXPECT_EQ(changing, 2);
    EXPECT_EQ(changed, 2);

    TStringList copy;
    copy.Assign(&list);
    EXPECT_EQ(copy.GetText(), list.GetText());
}

}   // namespace
