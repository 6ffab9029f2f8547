// The path navigator: counting, selecting and reading attributes by path.

#include "catalogue/USimpleXMLParser.h"
#include "tests/catalogue/CatalogueTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Three X and two Y under the root, interleaved, with text between them.
const char *const DOC = "<root n='r'><X n='x0'/>text<Y n='y0'/><X n='x1'/> more "
                        "<Y n='y1'/><X n='x2'><Z n='z0'/><Z n='z1'/></X></root>";

class XmlNavigator : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(parser.Parse(DOC)); }
    TSimpleXMLParser parser;
};

TEST_F(XmlNavigator, CountsPaths)
{
    struct TCase
    {
        const char *path;
        int count;
    };
    const std::vector<TCase> cases = {
        {"/X", 3},        {"/*", 5},         {"/Y", 2},
        {"/X[2]", 1},     {"/X[3]", 0},      {"/", 1},
        {"", 1},          {" \t/X \r\n", 3}, {"/X/", 3},
        {"//X", 0},       {"/X[1", 0},       {"/X[1]Y", 0},
        {"/X[a]", 0},     {"/X[]", 0},       {"/X[1.9]", 1},
        {"/X[-1]", 0},    {"/X[ +2e0 ]", 1}, {"/X[3000000000]", 0},
        {"/X[1e400]", 0}, {"/X[1e-400]", 1}, {"/X[inf]", 0},
        {"/X[nan]", 0},   {"/X[0x1]", 0},    {"/X[1,5]", 0},
        {"/ X", 0},       {"/root", 0},      {"/X[2]/*", 2},
        {"/X[2]/Z", 2},   {"/X[2]/Z[1]", 1}, {"/X[0]/*", 0},
        {"/*[4]/Z", 2},   {"/Q", 0},         {"X", 3},
        {"/X[1]/", 1},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(parser.CountNodes(c.path), c.count) << '"' << c.path << '"';
    }
    // An index is judged by its value, however it is written; only blanks surround it.
    const std::string zeros(400, '0');
    const std::vector<std::pair<std::string, int>> written = {
        {"/X[1" + zeros + "e-10]", 0},
        {"/X[0." + zeros + "1]", 1},
        {"/X[0." + zeros + "3e401]", 0},
        {"/X[" + zeros + "3]", 0},
        {"/X[\t1]", 0},
        {"/X[1\n]", 0},
        {"/X[\x01"
         "1]",
         0},
        {"/X[2147483648]", 0},
    };
    for (const auto &[path, count] : written) {
        EXPECT_EQ(parser.CountNodes(path), count) << testing::PrintToString(path);
    }
}

TEST_F(XmlNavigator, SelectsByPath)
{
    struct TCase
    {
        const char *path;
        const char *n; // attribute n of the selected element; null: nothing selected
    };
    const std::vector<TCase> cases = {
        {"/", "r"},          {"/X", "x0"},       {"/*[1]", "y0"},      {"/*[4]", "x2"},
        {"/X[1.9]", "x1"},   {"/X[-0.5]", "x0"}, {"/Y[1]", "y1"},      {"/X[2]/Z[1]", "z1"},
        {"/X[2e0]/Z", "z0"}, {"/X[5]", nullptr}, {"/Y[1]/Z", nullptr}, {"//X", nullptr},
    };
    for (const TCase &c : cases) {
        ASSERT_TRUE(parser.SelectNode("/"));
        EXPECT_EQ(parser.SelectNode(c.path), c.n != nullptr) << c.path;
        EXPECT_EQ(parser.GetAttribute("n"), c.n ? c.n : "r") << c.path;
    }
}

TEST_F(XmlNavigator, RelativePathsStartAtCurrent)
{
    ASSERT_TRUE(parser.SelectNode("/X[2]"));
    EXPECT_EQ(parser.CountNodes("Z"), 2);
    EXPECT_EQ(parser.CountNodes("*"), 2);
    EXPECT_EQ(parser.CountNodes("X"), 0);
    EXPECT_EQ(parser.CountNodes(""), 1); // the current element itself
    EXPECT_EQ(parser.CountNodes("/X"), 3);

    ASSERT_TRUE(parser.SelectNode("Z[1]"));
    EXPECT_EQ(parser.GetAttribute("n"), "z1");

    // A failed selection moves nothing; counting never moves.
    EXPECT_FALSE(parser.SelectNode("Z"));
    EXPECT_FALSE(parser.SelectNode("/X[9]"));
    EXPECT_EQ(parser.CountNodes("/Y"), 2);
    EXPECT_EQ(parser.GetAttribute("n"), "z1");
}

TEST(XmlNavigatorNoDocument, AnswersNeutrally)
{
    TSimpleXMLParser parser;
    for (int round = 0; round < 2; ++round) {
        for (const char *path : {"", "/", "/*", "X", "/X[0]"}) {
            EXPECT_EQ(parser.CountNodes(path), 0) << path;
            EXPECT_FALSE(parser.SelectNode(path)) << path;
        }
        EXPECT_EQ(parser.GetAttribute("n"), "");
        EXPECT_EQ(parser.FindNode("/"), nullptr);
        EXPECT_FALSE(parser.Parse("<a>")); // a failed parse leaves no document either
    }
}

TEST(XmlNavigatorAttributes, FirstOfSameNameWinsAndMissingIsEmpty)
{
    // Names are case-sensitive: X is not x.
    ExpectRootAttributes("<a x='1' e='' x='2'/>",
                         {{"x", "1"}, {"e", ""}, {"missing", ""}, {"X", ""}});
}

TEST(XmlNavigatorFindNode, ReportsLastStep)
{
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse(DOC));
    std::string_view name;
    bool hadIndex = true;
    EXPECT_NE(parser.FindNode("/X[2]/*", &name, &hadIndex), nullptr);
    EXPECT_EQ(name, "*");
    EXPECT_FALSE(hadIndex);
    EXPECT_NE(parser.FindNode("/Y[1]", &name, &hadIndex), nullptr);
    EXPECT_EQ(name, "Y");
    EXPECT_TRUE(hadIndex);
}

} // namespace

namespace {

// Lookups in any order, across names and across documents, found or not, find the same
// elements as a fresh walk would: the navigator's memory of earlier lookups must never show.
TEST(XmlNavigatorOrder, LookupsInAnyOrderAgree)
{
    std::string doc = "<r>";
    std::vector<std::string> xs, ys;
    for (int i = 0; i < 40; ++i) {
        const bool isX = i % 3 != 1;
        const std::string n = std::to_string(i);
        // Element i holds i % 3 + 1 Z children, so counts differ from parent to parent.
        doc += std::string(isX ? "<X" : "<Y") + " n='" + n + "'>";
        for (int k = 0; k <= i % 3; ++k) {
            doc += "<Z n='" + n + "z" + std::to_string(k) + "'/>";
        }
        doc += std::string("</") + (isX ? "X" : "Y") + ">t";
        (isX ? xs : ys).push_back(n);
    }
    doc += "</r>";
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse(doc));

    std::vector<int> order;
    for (int i = 0; i < 30; ++i) {
        order.push_back(i);
    }
    for (int i = 29; i >= 0; --i) {
        order.push_back(i);
    }
    for (int i = 0; i < 60; ++i) {
        order.push_back((i * 17) % 31);
    }
    for (const int i : order) {
        const std::string x = "/X[" + std::to_string(i) + "]";
        ASSERT_EQ(parser.SelectNode(x), i < static_cast<int>(xs.size())) << x;
        if (i < static_cast<int>(xs.size())) {
            EXPECT_EQ(parser.GetAttribute("n"), xs[i]) << x;
            // Lookups within and past the last Z: a count learnt under one
            // parent must not hold under another.
            const int zs = std::stoi(xs[i]) % 3 + 1;
            for (const int k : {2, 3, 0, 1, 2}) {
                const std::string z = x + "/Z[" + std::to_string(k) + "]";
                ASSERT_EQ(parser.SelectNode(z), k < zs) << z;
                if (k < zs) {
                    EXPECT_EQ(parser.GetAttribute("n"), xs[i] + "z" + std::to_string(k)) << z;
                }
            }
        }
        const std::string y = "/Y[" + std::to_string(i % 20) + "]";
        ASSERT_EQ(parser.SelectNode(y), i % 20 < static_cast<int>(ys.size())) << y;
        if (i % 20 < static_cast<int>(ys.size())) {
            EXPECT_EQ(parser.GetAttribute("n"), ys[i % 20]) << y;
        }
        const std::string any = "/*[" + std::to_string(i) + "]";
        ASSERT_TRUE(parser.SelectNode(any));
        EXPECT_EQ(parser.GetAttribute("n"), std::to_string(i)) << any;
    }

    // A new document may reuse the old one's memory; earlier answers must not leak over.
    ASSERT_TRUE(parser.SelectNode("/X[5]"));
    ASSERT_FALSE(parser.SelectNode("/X[7]/W"));
    ASSERT_TRUE(parser.Parse("<r><X n='a'/><X n='b'/><X n='c'/><X n='d'/><X n='e'/><X n='f'/>"
                             "<X n='g'/></r>"));
    ASSERT_TRUE(parser.SelectNode("/X[6]"));
    EXPECT_EQ(parser.GetAttribute("n"), "g");
    ASSERT_TRUE(parser.SelectNode("/X[5]"));
    EXPECT_EQ(parser.GetAttribute("n"), "f");
    ASSERT_TRUE(parser.Parse("<r><X n='a'/><X n='b'><W n='w'/></X></r>"));
    ASSERT_TRUE(parser.SelectNode("/X[1]/W"));
    EXPECT_EQ(parser.GetAttribute("n"), "w");
}

} // namespace
