// The reader: which documents it accepts, and the tree it builds.

#include "catalogue/USimpleXMLParser.h"
#include "tests/catalogue/CatalogueTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TDocCase
{
    const char *what;
    std::string doc;
    bool accepted;
};

const std::vector<TDocCase> DOC_CASES = {
    // Prologue.
    {"single empty element", "<a/>", true},
    {"leading whitespace", " \t\r\n<a/>", true},
    {"declaration, comment, root", "<?xml version=\"1.0\"?>\n<!-- note -->\n<a/>", true},
    {"declaration without whitespace", "<?xml?><a/>", true},
    {"doctype", "<!DOCTYPE a>\n<a></a>", true},
    {"empty text", "", false},
    {"whitespace only", " \r\n\t ", false},
    {"byte-order mark", "\xEF\xBB\xBF<a/>", false},
    {"text before root", "x<a/>", false},
    {"unclosed declaration", "<?xml version='1.0'", false},
    {"second comment", "<!-- 1 --><!-- 2 --><a/>", false},
    {"comment inside root", "<a><!-- c --></a>", false},
    // Content after the root is never read.
    {"garbage after root", "<a/> <<< ' & >", true},
    {"garbage after closed root", "<a></a>tail</b>", true},
    // Quotes and entities in text.
    {"quoted less-than in text", "<a>x \"<b>\" y</a>", true},
    {"lone apostrophe", "<a>it's</a>", false},
    {"unterminated quote", "<a>\"open</a>", false},
    {"greater-than in text", "<a>1 > 2</a>", false},
    {"known entities", "<a>&quot;&amp;&apos;&gt;&lt;&slash;</a>", true},
    {"numeric reference", "<a>&#65;</a>", false},
    {"unknown entity", "<a>&nbsp;</a>", false},
    {"lone ampersand", "<a>a & b</a>", false},
    {"entity cut by the end", "<a>&am", false},
    {"bad entity inside quotes", "<a>\"&x;\"</a>", false},
    // Attributes.
    {"three quoting forms", "<a x=1 y='2' z=\"3\"/>", true},
    {"blanks around equals", "<a x = \"1\" y\t=\t'2'/>", true},
    {"no blank after quoted value", "<a x=\"1\"y='2'/>", true},
    {"entity in attribute kept", "<a x=\"&bogus;\"/>", true},
    {"markup chars in quoted value", "<a x='<>/'/>", true},
    {"empty quoted value", "<a x=\"\"/>", true},
    {"name without value", "<a x/>", false},
    {"name then end tag", "<a x>t</a>", false},
    {"empty unquoted value", "<a x=/>", false},
    {"equals in unquoted value", "<a x=b=c/>", false},
    {"quote in unquoted value", "<a x=b\"c/>", false},
    {"attribute without name", "<a =\"1\"/>", false},
    {"end after name", "<a x", false},
    {"end after equals", "<a x=", false},
    {"end inside value", "<a x=\"1", false},
    {"end after unquoted value", "<a x=1", false},
    {"quote in element name", "<a\"b/>", false},
    {"equals in element name", "<a=b/>", false},
    // Tags.
    {"blanks inside tags", "< a >t< / a >", true},
    {"blank before end tag's >", "<a>t</a >", true},
    {"blank inside empty-element tag", "<a / >", true},
    {"odd name characters", "<x:y?[*]! \xCF\xF0=1/>", true},
    {"empty element name", "< />", false},
    {"end tag first", "</a>", false},
    {"end tag mismatch", "<a></b>", false},
    {"end tag differs in case", "<a></A>", false},
    {"crossed end tags", "<a><b></a></b>", false},
    {"root never closed", "<a><b/>", false},
    {"end tag not closed", "<a></a", false},
    {"slash alone in tag", "<a / x/>", false},
    {"embedded NUL in text", std::string("<a>x\0y</a>", 10), true},
    {"embedded NUL in name", std::string("<a\0b/>", 6), true},
};

TEST(XmlReader, AcceptsAndRejectsDocuments)
{
    for (const TDocCase &c : DOC_CASES) {
        for (const TSpaces spaces : {spStrip, spPreserve}) {
            TSimpleXMLParser parser;
            parser.SetSpaces(spaces);
            EXPECT_EQ(parser.Parse(c.doc), c.accepted) << c.what << " (spaces " << spaces << ")";
            EXPECT_EQ(parser.Root() != nullptr, c.accepted) << c.what;
            EXPECT_EQ(parser.Current(), parser.Root()) << c.what;
            EXPECT_EQ(parser.Text(), c.doc) << c.what;
        }
    }
}

// A malformed document tells where the reader stopped, so a person can find the fault.
TEST(XmlReader, MalformedDocumentTellsLineAndColumn)
{
    struct TCase
    {
        std::string Doc;
        size_t Line;
        size_t Column;
    };
    const TCase cases[] = {
        {"", 1, 1},
        {"<?xml version=\"1.0\"?>\n<r>\n  <a x=1 y></a>\n</r>", 3, 11}, // y has no value
        {"<r>\r\n<a></b>\r\n</r>", 2, 6},                               // at the wrong name
        {"<r>\n<a>\n", 3, 1},                                           // past the end
    };
    for (const TCase &c : cases) {
        TSimpleXMLParser parser;
        ASSERT_FALSE(parser.Parse(c.Doc)) << c.Doc;
        EXPECT_EQ(parser.StopPlace().Line, c.Line) << c.Doc;
        EXPECT_EQ(parser.StopPlace().Column, c.Column) << c.Doc;
    }
}

// The text of the first child of the root, which must be a text node.
std::string FirstText(const TSimpleXMLParser &parser)
{
    const TNodeItem *child = parser.Root()->Child;
    if (!child || child->Kind != NODE_TEXT) {
        return "<no text node>";
    }
    return std::string(static_cast<const TTextItem *>(child)->Text);
}

TEST(XmlReader, ElementTextInBothWhitespaceModes)
{
    // Per mode, each document and the text of its root's first child.
    using TCases = std::vector<std::pair<std::string, std::string>>;
    const std::vector<std::pair<TSpaces, TCases>> modes = {
        {spStrip,
         {
             {"<a>  word   word  </a>", "word word"},
             {"<a>w\r\nx</a>", "w\rx"},
             {"<a>a\t\t b</a>", "a\tb"},
             {"<a>x \"a  <b>\" y</a>", "x \"a  <b>\" y"},
             {"<a>&amp;</a>", "&"},
             {"<a>&slash;</a>", "/"},
             {"<a>\"&quot;\"</a>", "\"\"\""},
             {"<a>'a&lt;b'</a>", "'a<b'"},
             {"<a>a &amp;  b  </a>", "a & b"},
             {"<a>a  &gt;</a>", "a >"},
         }},
        {spPreserve,
         {
             {"<a>  word   word  </a>", "word   word "},
             {"<a>a &amp;  b  </a>", "a &  b "},
             {"<a>x\r\n</a>", "x\r"},
         }},
    };
    for (const auto &[spaces, cases] : modes) {
        for (const auto &[doc, text] : cases) {
            TSimpleXMLParser parser;
            parser.SetSpaces(spaces);
            ASSERT_TRUE(parser.Parse(doc)) << doc;
            EXPECT_EQ(FirstText(parser), text) << doc;
        }
    }
}

TEST(XmlReader, WhitespaceOnlyTextMakesNoNode)
{
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse("<a> \t\r\n <b/> </a>"));
    const TNodeItem *child = parser.Root()->Child;
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Kind, NODE_TAG);
    EXPECT_EQ(NextNode(child), nullptr);

    // Under spPreserve, blanks after an empty-element tag are not eaten by the tag.
    parser.SetSpaces(spPreserve);
    ASSERT_TRUE(parser.Parse("<a><b/>  x</a>"));
    const TNodeItem *text = NextNode(parser.Root()->Child);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->Kind, NODE_TEXT);
    EXPECT_EQ(static_cast<const TTextItem *>(text)->Text, "  x");
}

TEST(XmlReader, BuildsChainsInDocumentOrder)
{
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse("<r k='v'>one<a x='1' y=\"2\" x=3/>two<b><c/></b>three</r>"));
    const TTagItem *root = parser.Root();
    EXPECT_EQ(root->Name, "r");
    EXPECT_EQ(root->Next, nullptr);
    ASSERT_NE(root->Attrs, nullptr);
    EXPECT_EQ(root->Attrs->Value, "v");

    std::vector<std::string> seen;
    for (const TNodeItem *n = root->Child; n; n = NextNode(n)) {
        if (n->Kind == NODE_TAG) {
            seen.push_back("<" + std::string(static_cast<const TTagItem *>(n)->Name));
        } else {
            seen.push_back(std::string(static_cast<const TTextItem *>(n)->Text));
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "<a", "two", "<b", "three"}));

    const auto *a = static_cast<const TTagItem *>(NextNode(root->Child));
    std::vector<std::string> attrs;
    for (const TAttrItem *at = a->Attrs; at; at = at->Next) {
        attrs.push_back(std::string(at->Name) + "=" + std::string(at->Value));
    }
    EXPECT_EQ(attrs, (std::vector<std::string>{"x=1", "y=2", "x=3"}));
    EXPECT_EQ(a->Child, nullptr);

    const auto *b = static_cast<const TTagItem *>(NextNode(NextNode(a)));
    ASSERT_NE(b->Child, nullptr);
    EXPECT_EQ(static_cast<const TTagItem *>(b->Child)->Name, "c");
}

TEST(XmlReader, AttributeValuesStayVerbatim)
{
    ExpectRootAttributes("<a e=\"&amp;\" s=' a  b ' q='say \"hi\"'/>",
                         {{"e", "&amp;"}, {"s", " a  b "}, {"q", "say \"hi\""}});
}

TEST(XmlReader, FailedParseLeavesNoTreeButKeepsText)
{
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse("<a><b/></a>"));
    ASSERT_TRUE(parser.SelectNode("b"));

    const std::string bad = "<a><b/></c>";
    EXPECT_FALSE(parser.Parse(bad));
    EXPECT_EQ(parser.Text(), bad);
    EXPECT_EQ(parser.Root(), nullptr);
    EXPECT_EQ(parser.Current(), nullptr);
    EXPECT_EQ(parser.CountNodes("/"), 0);

    // The next good text parses again, with Current back at the new root.
    ASSERT_TRUE(parser.Parse("<z/>"));
    EXPECT_EQ(parser.Current(), parser.Root());
    EXPECT_EQ(parser.Root()->Name, "z");
}

TEST(XmlReader, DeepNestingNeitherOverflowsNorLeaks)
{
    constexpr int depth = 200000;
    std::string doc;
    for (int i = 0; i < depth; ++i) {
        doc += "<e>";
    }
    const std::string open = doc;
    for (int i = 0; i < depth; ++i) {
        doc += "</e>";
    }
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse(doc));
    std::string path = "/";
    for (int i = 1; i < 100; ++i) {
        path += "e/";
    }
    EXPECT_EQ(parser.CountNodes(path), 1);
    EXPECT_FALSE(parser.Parse(open)); // never closed
    ASSERT_TRUE(parser.Parse(doc));   // the destructor releases this tree
}

} // namespace
