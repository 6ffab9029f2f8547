#pragma once
// Shared pieces of the catalogue tests.

#include "catalogue/USimpleXMLParser.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

// Parses `doc` and expects each (name, value) of `attributes` from the root's GetAttribute.
inline void
ExpectRootAttributes(const std::string &doc,
                     std::initializer_list<std::pair<const char *, std::string>> attributes)
{
    TSimpleXMLParser parser;
    ASSERT_TRUE(parser.Parse(doc)) << doc;
    for (const auto &[name, value] : attributes) {
        EXPECT_EQ(parser.GetAttribute(name), value) << doc << " " << name;
    }
}
