// The live page's script and the overlay page.
#include "pages.h"

namespace vantrel::report::serve {
namespace {

// Redraws from the server on every event: the page as --html writes it, fetched again, its
// <main> put in place of the shown one. One fetch at a time; events during a fetch ask
// for one more. A stream that breaks is reopened by the browser, and the page refetched.
constexpr std::string_view kLiveScript = R"(<script>
(function () {
  var busy = false, again = false;
  function redraw() {
    if (busy) { again = true; return; }
    busy = true;
    fetch('/', {cache: 'no-store'}).then(function (r) { return r.text(); }).then(function (text) {
      var fresh = new DOMParser().parseFromString(text, 'text/html').querySelector('main');
      var shown = document.querySelector('main');
      if (fresh && shown) { shown.replaceWith(document.adoptNode(fresh)); }
    }).catch(function () {}).then(function () {
      busy = false;
      if (again) { again = false; redraw(); }
    });
  }
  var events = new EventSource('/events');
  ['session', 'match', 'rating', 'reset'].forEach(function (kind) { events.addEventListener(kind, redraw); });
  var opened = false;
  events.onopen = function () { if (opened) redraw(); opened = true; };
})();
</script>)";

constexpr std::string_view kOverlay = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Vantrel overlay</title>
<style>
html { overflow: hidden; }
html, body { margin: 0; background: transparent; }
body { font: 600 16px/1.3 system-ui, "Segoe UI", Roboto, "DejaVu Sans", sans-serif; }
#card { display: inline-block; margin: 8px; padding: 8px 12px; border-radius: 10px; transform-origin: 0 0;
        background: rgba(14, 16, 22, 0.78); color: #f2f4f8; text-shadow: 0 1px 2px rgba(0, 0, 0, 0.6); }
body.light #card { background: rgba(250, 250, 252, 0.85); color: #14161c; text-shadow: none; }
table { border-collapse: collapse; }
td { padding: 1px 8px 1px 0; white-space: nowrap; font-variant-numeric: tabular-nums; }
td.num { text-align: right; }
td.mode { color: #9aa3b5; font-weight: 700; }
body.light td.mode { color: #4a5262; }
.up { color: #3ddc84; } .down { color: #ff6b6b; }
body.light .up { color: #14863f; } body.light .down { color: #c62828; }
#foot { margin-top: 4px; font-size: 13px; color: #c8cdd8; }
body.light #foot { color: #3b4150; }
#none { font-size: 14px; color: #c8cdd8; }
</style></head>
<body><div id="card"><table id="modes"></table><div id="none">No match yet this session</div><div id="foot"></div></div>
<script>
(function () {
  var query = new URLSearchParams(location.search);
  var names = {'1v1': '1vs1', '1vs1': '1vs1', '2v2': '2vs2', '2vs2': '2vs2', '3v3': '3vs3', '3vs3': '3vs3', 'other': 'Other'};
  var wanted = null;
  if (query.get('modes')) {
    wanted = {};
    query.get('modes').split(',').forEach(function (m) { var n = names[m.trim().toLowerCase()]; if (n) wanted[n] = true; });
  }
  if (query.get('theme') === 'light') document.body.classList.add('light');
  var scale = parseFloat(query.get('scale'));
  if (scale > 0.2 && scale <= 5) document.getElementById('card').style.transform = 'scale(' + scale + ')';

  function signed(x) { return (x > 0 ? '+' : x < 0 ? '\u2212' : '\u00b1') + Math.abs(x).toFixed(2); }
  function cell(row, text, cls) { var td = row.insertCell(); td.textContent = text; if (cls) td.className = cls; return td; }
  function draw(glance) {
    var table = document.getElementById('modes');
    table.textContent = '';
    var shown = 0;
    glance.modes.forEach(function (m) {
      if (wanted && !wanted[m.mode]) return;
      var row = table.insertRow();
      row.dataset.mode = m.mode;
      cell(row, m.mode, 'mode');
      cell(row, m.wins + '-' + m.losses, 'num record');
      cell(row, m.change === null ? '\u2013' : signed(m.change),
           'num change ' + (m.change > 0 ? 'up' : m.change < 0 ? 'down' : ''));
      cell(row, m.rating === null ? '' : m.rating.toFixed(2), 'num rating');
      ++shown;
    });
    document.getElementById('none').style.display = shown ? 'none' : '';
    var foot = document.getElementById('foot');
    foot.textContent = '';
    if (glance.last && (!wanted || wanted[glance.last.mode])) {
      var last = document.createElement('span');
      last.id = 'last';
      last.textContent = 'Last: ' + (glance.last.result === 'won' ? 'Won' : 'Lost') +
        (glance.last.change === null ? '' : ' ' + signed(glance.last.change));
      last.className = glance.last.result === 'won' ? 'up' : 'down';
      foot.appendChild(last);
    }
    if (glance.streak && glance.streak.count > 1) {
      var streak = document.createElement('span');
      streak.id = 'streak';
      streak.textContent = '  \u00b7  ' + glance.streak.count + (glance.streak.result === 'won' ? ' wins' : ' losses') + ' in a row';
      foot.appendChild(streak);
    }
    foot.style.display = foot.firstChild ? '' : 'none';
  }
  var busy = false, again = false;
  function refresh() {
    if (busy) { again = true; return; }
    busy = true;
    fetch('/api/session.json', {cache: 'no-store'}).then(function (r) { return r.json(); }).then(draw)
      .catch(function () {}).then(function () { busy = false; if (again) { again = false; refresh(); } });
  }
  var events = new EventSource('/events');
  ['session', 'match', 'rating', 'reset'].forEach(function (kind) { events.addEventListener(kind, refresh); });
  events.onopen = refresh;
})();
</script></body></html>
)";

}  // namespace

std::string LivePage(std::string_view page) {
    std::string live(page);
    const auto end = live.rfind("</body>");
    live.insert(end == std::string::npos ? live.size() : end, kLiveScript);
    return live;
}

const std::string& OverlayPage() {
    static const std::string page(kOverlay);
    return page;
}

}  // namespace vantrel::report::serve
