#include "platform/htmlview/masterstyle.h"

namespace htmlview {

const char kMasterStyleSheet[] = R"css(
html { display: block; }
head, title, meta, link, style, script, base, noscript, template { display: none; }
body { display: block; margin: 4px; color: black; background-color: white; }

div, p, address, blockquote, center, dl, dt, dd, form, fieldset, h1, h2, h3, h4, h5, h6,
hr, ol, ul, pre, section, article, header, footer, nav, aside, main, figure, figcaption,
listing, plaintext, xmp, menu, dir, details, summary { display: block; }

p, dl, blockquote, pre, listing, xmp, plaintext, figure, fieldset { margin-top: 0.5em; margin-bottom: 0.5em; }
blockquote { margin-left: 16px; margin-right: 16px; }
center { text-align: center; }
address, cite, em, i, var, dfn { font-style: italic; }
b, strong, th { font-weight: bold; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
big { font-size: 1.17em; }
small, sub, sup { font-size: 0.83em; }
sub { vertical-align: sub; }
sup { vertical-align: super; }
pre, listing, xmp, plaintext, code, kbd, samp, tt { font-family: "Courier New", monospace; }
pre, listing, xmp, plaintext { white-space: pre; }
nobr { white-space: nowrap; }

h1 { font-size: 1.5em; margin-top: 0.5em; margin-bottom: 0.4em; font-weight: bold; }
h2 { font-size: 1.3em; margin-top: 0.5em; margin-bottom: 0.4em; font-weight: bold; }
h3 { font-size: 1.15em; margin-top: 0.6em; margin-bottom: 0.3em; font-weight: bold; }
h4 { font-size: 1em; margin-top: 0.6em; margin-bottom: 0.3em; font-weight: bold; }
h5 { font-size: 0.9em; margin-top: 0.6em; margin-bottom: 0.3em; font-weight: bold; }
h6 { font-size: 0.8em; margin-top: 0.6em; margin-bottom: 0.3em; font-weight: bold; }

ul, ol, menu, dir { margin-top: 0.4em; margin-bottom: 0.4em; padding-left: 18px; }
ul ul, ol ol, ul ol, ol ul { margin-top: 0; margin-bottom: 0; }
ul { list-style-type: disc; }
ul ul { list-style-type: circle; }
ol { list-style-type: decimal; }
li { display: list-item; }
dd { margin-left: 16px; }

a:link, a:visited, a[href] { color: #0000ff; text-decoration: underline; }
a[href] { cursor: pointer; }

hr { display: block; height: 0; margin: 4px 0; border-style: inset; border-width: 1px; border-color: #808080; }

img { display: inline-block; }
br { display: block; }

table { display: table; border-collapse: separate; border-spacing: 2px; text-indent: 0; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
col { display: table-column; }
colgroup { display: table-column-group; }

input, select, button, textarea { display: inline-block; }
)css";

}  // namespace htmlview
