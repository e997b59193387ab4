// The HTML page. The parts' data is streamed into one script array as the results come
// in; the page's own script builds the summary table from it. No network is needed: the
// style and the script are inside the page.
#include <cmath>
#include <nlohmann/json.hpp>

#include "outputs.hpp"

namespace vettra::compare {
namespace {

constexpr const char *page_head = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>@TITLE@</title>
<style>
body { font-family: sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.3em; margin-bottom: 0.2em; }
.sides { color: #555; margin-bottom: 1em; white-space: pre; }
#filters label { margin-right: 1em; white-space: nowrap; }
table { border-collapse: collapse; }
#summary { width: 100%; margin-top: 0.8em; }
#summary th { background: #eee; cursor: pointer; text-align: left; user-select: none; }
#summary th.sorted-asc::after { content: " \25B2"; }
#summary th.sorted-desc::after { content: " \25BC"; }
#summary td, #summary th { padding: 0.25em 0.6em; border-bottom: 1px solid #ddd; }
tr.part { cursor: pointer; }
tr.part:hover { background: #f5f8ff; }
tr.part td:first-child::before { content: "\25B8 "; color: #888; }
tr.part.open td:first-child::before { content: "\25BE "; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
.v-same { color: #2a7a2a; } .v-within { color: #5a7a00; } .v-differs { color: #b00020; }
.v-missing { color: #b05000; } .v-new { color: #1f5fa8; } .v-unreadable { color: #7a0070; }
table.diffs { margin: 0.3em 0 0.8em 1.5em; font-size: 0.92em; }
table.diffs td, table.diffs th { border: 1px solid #ddd; padding: 0.15em 0.5em;
  vertical-align: top; }
table.diffs th { background: #f4f4f4; text-align: left; }
td.path { font-family: monospace; }
td.value { font-family: monospace; white-space: pre-wrap; max-width: 28em;
  overflow-wrap: anywhere; }
tr.within td { color: #666; }
.bar { display: inline-block; height: 0.7em; background: #d33; vertical-align: middle;
  margin-right: 0.4em; }
tr.within .bar { background: #9b9; }
.rec { color: #7a0070; font-size: 0.85em; }
.notes { margin: 0.3em 0 0.3em 1.5em; color: #7a0070; }
</style>
</head>
<body>
<h1>@TITLE@</h1>
<div class="sides" id="sides"></div>
<div id="filters"></div>
<table id="summary">
<thead><tr>
<th data-key="n">Part</th><th data-key="v">Verdict</th><th data-key="k">Differences</th>
<th data-key="w">Within tolerance</th><th data-key="r">Largest relative difference</th>
<th data-key="f">First difference</th>
</tr></thead>
<tbody></tbody>
</table>
<script>
const PARTS = [
)html";

constexpr const char *page_script = R"html(];
(function () {
  const order = ["unreadable", "differs", "missing", "new", "within tolerance", "same"];
  const rank = v => order.indexOf(v);
  const cls = v => "v-" + v.split(" ")[0];
  const shown = new Set(order);
  const opened = new Set();
  let sortKey = "v", sortDir = 1;
  const el = (tag, text, className) => {
    const e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = text;
    if (className) e.className = className;
    return e;
  };
  const rel = r => (r === null || r === undefined) ? "" :
    (r === 0 || r >= 1e-3) ? Number(r).toPrecision(3) : Number(r).toExponential(2);
  // Bar width grows with the order of magnitude: 1e-12 is empty, 1 is full.
  const barWidth = r => Math.max(2, Math.min(100, (Math.log10(Math.max(r, 1e-12)) + 12) * 100 / 12));

  function details(p) {
    const cell = el("td");
    cell.colSpan = 6;
    if (p.notes.length) {
      const notes = el("div", null, "notes");
      p.notes.forEach(n => notes.appendChild(el("div", n)));
      cell.appendChild(notes);
    }
    if (p.d.length) {
      const t = el("table", null, "diffs");
      const head = el("tr");
      ["Element", "Change", "Before", "After", "Rule", "Relative size"].forEach(h => head.appendChild(el("th", h)));
      t.appendChild(head);
      p.d.forEach(d => {
        const row = el("tr", null, "diff" + (d[6] ? " within" : ""));
        row.appendChild(el("td", d[0], "path"));
        row.appendChild(el("td", d[1]));
        row.appendChild(el("td", d[2], "value"));
        row.appendChild(el("td", d[3], "value"));
        row.appendChild(el("td", d[4] + ": " + d[5] + (d[6] ? " (within tolerance)" : "")));
        const size = el("td", null, "num relative");
        if (d[7] !== null) {
          const bar = el("span", null, "bar");
          bar.style.width = (barWidth(d[7]) * 0.6) + "px";
          size.appendChild(bar);
          size.appendChild(document.createTextNode(rel(d[7])));
        }
        row.appendChild(size);
        t.appendChild(row);
      });
      cell.appendChild(t);
    }
    if (!p.notes.length && !p.d.length) cell.appendChild(el("div", "No differences.", "notes"));
    const tr = el("tr", null, "detail");
    tr.dataset.part = p.n;
    tr.appendChild(cell);
    return tr;
  }

  function render() {
    const body = document.querySelector("#summary tbody");
    body.textContent = "";
    const key = sortKey;
    const rows = PARTS.filter(p => shown.has(p.v)).sort((a, b) => {
      let x = a[key], y = b[key];
      if (key === "v") { x = rank(x); y = rank(y); }
      if (x < y) return -sortDir;
      if (x > y) return sortDir;
      return a.n < b.n ? -1 : a.n > b.n ? 1 : 0;
    });
    rows.forEach(p => {
      const tr = el("tr", null, "part" + (opened.has(p.n) ? " open" : ""));
      tr.dataset.part = p.n;
      tr.dataset.verdict = p.v;
      const name = el("td", p.n);
      if (p.rec) name.appendChild(el("span", " (read with recovery)", "rec"));
      tr.appendChild(name);
      tr.appendChild(el("td", p.v, cls(p.v)));
      tr.appendChild(el("td", p.k, "num"));
      tr.appendChild(el("td", p.w, "num"));
      tr.appendChild(el("td", p.r ? rel(p.r) : "", "num"));
      tr.appendChild(el("td", p.f));
      tr.addEventListener("click", () => {
        if (opened.has(p.n)) opened.delete(p.n); else opened.add(p.n);
        render();
      });
      body.appendChild(tr);
      if (opened.has(p.n)) body.appendChild(details(p));
    });
    document.querySelectorAll("#summary th").forEach(th => {
      th.className = th.dataset.key === sortKey ? (sortDir > 0 ? "sorted-asc" : "sorted-desc") : "";
    });
  }

  function filters() {
    const box = document.getElementById("filters");
    box.appendChild(document.createTextNode("Show: "));
    order.forEach(v => {
      const count = PARTS.filter(p => p.v === v).length;
      const label = el("label", null, cls(v));
      const input = el("input");
      input.type = "checkbox";
      input.checked = shown.has(v);
      input.dataset.verdict = v;
      input.addEventListener("change", () => {
        if (input.checked) shown.add(v); else shown.delete(v);
        render();
      });
      label.appendChild(input);
      label.appendChild(document.createTextNode(" " + v + " (" + count + ")"));
      box.appendChild(label);
    });
  }

  // The address may ask for a state: #filter=differs,new&expand=part.xml&sort=n
  function fromHash() {
    const args = new URLSearchParams(location.hash.replace(/^#/, ""));
    if (args.has("filter")) {
      shown.clear();
      args.get("filter").split(",").forEach(v => shown.add(v));
    }
    args.getAll("expand").forEach(n => opened.add(n));
    if (args.has("sort")) sortKey = args.get("sort");
  }

  document.querySelectorAll("#summary th").forEach(th => th.addEventListener("click", () => {
    if (sortKey === th.dataset.key) sortDir = -sortDir; else { sortKey = th.dataset.key; sortDir = 1; }
    render();
  }));
  document.getElementById("sides").textContent = SIDES;
  fromHash();
  filters();
  render();
})();
</script>
</body>
</html>
)html";

std::string html_escape(const std::string &text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// JSON that may stand inside a script element: no "<" can close it.
std::string script_json(const nlohmann::json &value) {
  const std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '<') {
      out += "\\u003c";
    } else {
      out += c;
    }
  }
  return out;
}

std::string replace_all(std::string text, const std::string &from, const std::string &to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

HtmlPage::HtmlPage(std::filesystem::path path, const std::string &title) : file_(std::move(path)) {
  file_.out() << replace_all(page_head, "@TITLE@", html_escape(title));
}

void HtmlPage::add(const PartResult &result) {
  const PartSummary summary = summarize(result);
  nlohmann::json diffs = nlohmann::json::array();
  for (const Difference &d : result.differences) {
    diffs.push_back({d.path, change_name(d.change), d.before, d.after, d.family, d.rule,
                     d.within ? 1 : 0,
                     std::isnan(d.relative) ? nlohmann::json() : nlohmann::json(d.relative)});
  }
  const nlohmann::json part = {{"n", result.name},
                               {"v", verdict_name(result.verdict)},
                               {"k", summary.differing},
                               {"w", summary.within},
                               {"r", summary.largest},
                               {"f", summary.first},
                               {"notes", result.notes},
                               {"d", std::move(diffs)},
                               {"rec", summary.recovered ? 1 : 0}};
  file_.out() << (first_ ? "" : ",\n") << script_json(part);
  first_ = false;
}

void HtmlPage::finish(const std::string &before, const std::string &after,
                      const std::string &profile) {
  const std::string sides = "Before: " + before + "    After: " + after + "    Rules: " + profile;
  file_.out() << "\n"
              << replace_all(page_script, "];\n(function",
                             "];\nconst SIDES = " + script_json(sides) + ";\n(function");
  file_.commit();
}

}  // namespace vettra::compare
