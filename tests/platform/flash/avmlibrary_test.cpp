// The script machine's library objects, seen through what movies trace.

#include <gtest/gtest.h>

#include <sstream>

#include "platform/flash/avm.h"
#include "platform/flash/movieplayer.h"
#include "tools/swfwriter/actionwriter.h"

using namespace swf;
using namespace swfwrite;

namespace {

enum : uint8_t {
  kPop = 0x17,
  kGetVariable = 0x1C,
  kSetVariable = 0x1D,
  kTrace = 0x26,
  kNewObject = 0x40,
  kGetMember = 0x4E,
  kCallMethod = 0x52,
};

std::vector<std::string> run(const ActionWriter& script, uint8_t version = 8) {
  MovieWriter movie(100, 100, 12, version);
  doAction(movie, script);
  movie.showFrame();
  movie.showFrame();
  MoviePlayer player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
  EXPECT_TRUE(player.load(movie.finish()));
  player.tick();
  return lines;
}

// Pushes the value of a dotted chain of members: "x.firstChild.nodeName".
ActionWriter& pushChain(ActionWriter& w, const std::string& chain) {
  std::istringstream parts(chain);
  std::string part;
  std::getline(parts, part, '.');
  w.push({part}).op(kGetVariable);
  while (std::getline(parts, part, '.')) w.push({part}).op(kGetMember);
  return w;
}

// Calls a method on a chain with one argument taken from another chain,
// dropping the result: "x.firstChild", "appendChild", "x".
ActionWriter& callWith(ActionWriter& w, const std::string& on, const char* method, const std::string& argument) {
  pushChain(w, argument).push({1});
  pushChain(w, on).push({method}).op(kCallMethod).op(kPop);
  return w;
}

ActionWriter newXml(const char* source) {
  ActionWriter w;
  return w.push({"x", source, 1, "XML"}).op(kNewObject).op(kSetVariable);
}

struct XmlCase {
  const char* source;
  const char* chain;
  const char* traced;
};

TEST(ScriptLibrary, XmlReadsAndWritesItsDocuments) {
  const XmlCase cases[] = {
      {"<a b=\"1 &amp; 2\">t&lt;</a>", "x", "<a b=\"1 &amp; 2\">t&lt;</a>"},
      {"<a b=\"1 &amp; 2\">t&lt;</a>", "x.firstChild.attributes.b", "1 & 2"},
      {"<a>&#39;&thing;</a>", "x.firstChild.firstChild.nodeValue", "'&thing;"},
      {"<a><!-- gone --><![CDATA[<kept>]]></a>", "x.firstChild.firstChild.nodeValue", "<kept>"},
      {"<?xml version='1.0'?><a/>", "x", "<?xml version='1.0'?><a />"},
      {"<a/><b/>", "x.firstChild.nextSibling.nodeName", "b"},
      {"<a/><b/>", "x.lastChild.nextSibling", "null"},
      {"<p:a xmlns:p='u'/>", "x.firstChild.namespaceURI", "u"},
      {"<p:a/>", "x.firstChild.localName", "a"},
      {"<a id='k'/>", "x.idMap.k.nodeName", "a"},
      {"<a>  </a>", "x.firstChild.childNodes.length", "1"},
      {"<a><b></a>", "x.status", "-9"},
      {"</a>", "x.status", "-10"},
      {"<a b=\"1></a>", "x.status", "-8"},
      {"<a><!-- open", "x.status", "-5"},
      {"<a><![CDATA[open", "x.status", "-2"},
      {"<a b></a>", "x.status", "-6"},
      {"<a></a>", "x.status", "0"},
  };
  for (const XmlCase& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " " + c.chain);
    ActionWriter w = newXml(c.source);
    pushChain(w, c.chain).op(kTrace);
    EXPECT_EQ(run(w), std::vector<std::string>{c.traced});
  }
}

TEST(ScriptLibrary, XmlNodesMoveWithoutMakingCycles) {
  ActionWriter w = newXml("<a><b/></a><c/>");
  pushChain(w.push({"kids"}), "x.childNodes").op(kSetVariable);
  callWith(w, "x.firstChild.firstChild", "appendChild", "x.firstChild");  // a under its own child: refused
  pushChain(w, "x").op(kTrace);
  callWith(w, "x", "appendChild", "x.firstChild.firstChild");  // b moves to the end
  pushChain(w, "x").op(kTrace);
  pushChain(w, "kids.length").op(kTrace);  // the array held before follows the tree
  pushChain(w, "x.lastChild.parentNode.firstChild.nodeName").op(kTrace);
  EXPECT_EQ(run(w), (std::vector<std::string>{"<a><b /></a><c />", "<a /><c /><b />", "3", "a"}));
}

}  // namespace
