// The overlay page: a card (or rows, or one line) of the session's figures over a
// transparent background. Every size is in em of the body's font, which `scale` sets, so
// the card is laid out at its size and never cut inside (a CSS transform would scale the
// picture but not the room it takes).
#include "pages.h"

namespace vantrel::report::serve {
namespace {

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Vantrel overlay</title>
<style>
html { overflow: hidden; }
html, body { margin: 0; background: transparent; }
body { font: 600 16px/1.3 system-ui, "Segoe UI", Roboto, "DejaVu Sans", sans-serif; }
[hidden] { display: none !important; }
#card { display: inline-block; margin: 0.5em; padding: 0.5em 0.75em; border-radius: 0.625em; white-space: nowrap;
        background: rgba(14, 16, 22, 0.78); color: #f2f4f8; text-shadow: 0 0.06em 0.12em rgba(0, 0, 0, 0.6);
        font-variant-numeric: tabular-nums; }
body.light #card { background: rgba(250, 250, 252, 0.85); color: #14161c; text-shadow: none; }
#modes { display: table; border-collapse: collapse; }
.mode { display: table-row; }
.mode > span { display: table-cell; padding: 0.06em 0.5em 0.06em 0; text-align: right; vertical-align: middle; }
.mode > span:last-child { padding-right: 0; }
.mode > .name, .mode > .rank, .mode > .progress { text-align: left; }
.name { color: #9aa3b5; font-weight: 700; }
body.light .name { color: #4a5262; }
.up { color: #3ddc84; } .down { color: #ff6b6b; }
body.light .up { color: #14863f; } body.light .down { color: #c62828; }
.bar { display: inline-block; width: 3.5em; height: 0.4em; margin-right: 0.35em; border-radius: 0.2em;
       background: rgba(255, 255, 255, 0.22); vertical-align: middle; overflow: hidden; }
body.light .bar { background: rgba(0, 0, 0, 0.15); }
.bar > i { display: block; height: 100%; background: #3ddc84; }
body.light .bar > i { background: #14863f; }
.small { font-size: 0.8125em; color: #c8cdd8; }
body.light .small { color: #3b4150; }
.goal { margin-top: 0.2em; }
.goal > span { margin-right: 0.4em; }
#foot, #warn { margin-top: 0.25em; }
#foot > span + span::before { content: "\00a0\00a0\00b7\00a0\00a0"; }
#warn { color: #ffb454; }
body.light #warn { color: #a35a00; }
.lit { animation: lit 1.2s ease-out; }
@keyframes lit { from { background-color: rgba(61, 220, 132, 0.5); } }
@media (prefers-reduced-motion: reduce) { .lit { animation: none; } }

/* row: one line per mode, each on a strip of its own, for a screen's edge */
body.row #card { display: block; width: max-content; margin: 0.25em; padding: 0; background: none; border-radius: 0; }
body.row #modes { display: block; }
body.row .mode, body.row .goal, body.row #foot, body.row #warn, body.row #none, body.row #waiting {
  display: block; width: max-content; margin: 0 0 0.2em; padding: 0.12em 0.5em; border-radius: 0.35em;
  background: rgba(14, 16, 22, 0.78); }
body.row.light .mode, body.row.light .goal, body.row.light #foot, body.row.light #warn, body.row.light #none,
body.row.light #waiting { background: rgba(250, 250, 252, 0.85); }
body.row .mode > span { display: inline; padding: 0 0 0 0.5em; }
body.row .mode > span:first-child { padding-left: 0; }

/* compact: everything on one line */
body.compact #card { padding: 0.25em 0.6em; border-radius: 0.4em; }
body.compact #modes, body.compact .mode, body.compact #goals, body.compact .goal, body.compact #foot,
body.compact #warn, body.compact #none, body.compact #waiting { display: inline; margin: 0; }
body.compact .mode > span { display: inline; padding: 0 0 0 0.35em; }
body.compact .mode > span:first-child { padding-left: 0; }
body.compact .mode + .mode::before, body.compact #goals::before, body.compact #foot::before,
body.compact #warn::before { content: "\00a0\00a0\00b7\00a0\00a0"; color: #9aa3b5; }
body.compact .small { font-size: 1em; }
</style></head>
<body><div id="card" hidden><div id="modes"></div><div id="goals"></div>
<div id="none" class="small">No match yet this session</div><div id="foot" class="small"></div>
<div id="warn" class="small"></div><div id="waiting" class="small">waiting for vantrel-report</div></div>
<script>
(function () {)";

constexpr std::string_view kBody = R"(
  var query = new URLSearchParams(location.search);
  var names = {'1v1': '1vs1', '1vs1': '1vs1', '2v2': '2vs2', '2vs2': '2vs2', '3v3': '3vs3', '3vs3': '3vs3', 'other': 'Other'};
  var wanted = null;
  if (query.get('modes')) {
    wanted = {};
    query.get('modes').split(',').forEach(function (m) { var n = names[m.trim().toLowerCase()]; if (n) wanted[n] = true; });
  }
  var body = document.body;
  if (query.get('theme') === 'light') body.classList.add('light');
  var style = query.get('style');
  if (style === 'row' || style === 'compact') body.classList.add(style);
  var scale = parseFloat(query.get('scale'));
  body.style.fontSize = (scale >= 0.2 && scale <= 5 ? 16 * scale : 16) + 'px';
  var known = ['record', 'change', 'rating', 'rank', 'progress', 'last', 'streak'];
  var fields = (query.get('fields') || '').split(',').map(function (f) { return f.trim().toLowerCase(); })
    .filter(function (f, i, all) { return known.indexOf(f) >= 0 && all.indexOf(f) === i; });
  if (!fields.length) fields = known;
  var goals = [];
  (query.get('goal') || '').split(',').forEach(function (g) {
    var parts = g.split(':'), mode = names[(parts[0] || '').trim().toLowerCase()], value = parseFloat(parts[1]);
    if (parts.length === 2 && mode && isFinite(value)) goals.push({mode: mode, value: value});
  });
  var warn = parseInt(query.get('warn'), 10) || 0;
  var motion = query.get('motion') !== 'off' && !(window.matchMedia && matchMedia('(prefers-reduced-motion: reduce)').matches);
  var session = query.get('session');
  var source = '/api/session.json' + (session ? '?session=' + encodeURIComponent(session) : '');

  function signed(x) { return (x > 0 ? '+' : x < 0 ? '\u2212' : '\u00b1') + Math.abs(x).toFixed(2); }
  function el(parent, tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    parent.appendChild(e);
    return e;
  }
  function bar(parent, share) {
    var b = el(parent, 'span', 'bar');
    el(b, 'i').style.width = (Math.max(0, Math.min(1, share)) * 100).toFixed(1) + '%';
  }
  // The change counts up to its new value in 0.6 s; a timer sets the end for a page that
  // draws no frames (hidden, in the background).
  function countUp(cell, from, to) {
    var start = performance.now();
    function step(now) {
      var k = Math.min(1, (now - start) / 600);
      cell.textContent = signed(from + (to - from) * k);
      if (k < 1) requestAnimationFrame(step);
    }
    step(start);
    setTimeout(function () { step(start + 600); }, 700);
  }
  var shown = null;  // mode -> {rating, change} as last drawn
  function modeRow(parent, m, before) {
    var row = el(parent, 'div', 'mode');
    row.dataset.mode = m.mode;
    el(row, 'span', 'name', m.mode);
    fields.forEach(function (f) {
      if (f === 'record') el(row, 'span', 'record', m.wins + '-' + m.losses);
      if (f === 'change') {
        var c = el(row, 'span', 'change ' + (m.change > 0 ? 'up' : m.change < 0 ? 'down' : ''),
                   m.change === null ? '\u2013' : signed(m.change));
        if (before && motion && m.change !== null && before.change !== m.change) countUp(c, before.change || 0, m.change);
      }
      if (f === 'rating') el(row, 'span', 'rating', m.rating === null ? '' : m.rating.toFixed(2));
      if (f === 'rank') el(row, 'span', 'rank', m.rank || '');
      if (f === 'progress') {
        var p = el(row, 'span', 'progress');
        if (m.next !== null && m.toNext !== null) {
          var from = m.rankFrom === null ? m.nextFrom - 100 : m.rankFrom;
          bar(p, (m.nextFrom - m.toNext - from) / (m.nextFrom - from));
          el(p, 'span', 'small', m.toNext.toFixed(2) + ' to go').title = 'to ' + m.next;
        } else if (m.rank) {
          bar(p, 1);
          el(p, 'span', 'small', 'top division');
        }
      }
    });
    if (before && motion && m.rating !== null && before.rating !== m.rating) row.classList.add('lit');
    return row;
  }
  function draw(glance) {
    var modes = document.getElementById('modes'), goalBox = document.getElementById('goals');
    modes.textContent = '';
    goalBox.textContent = '';
    var drawn = {}, byMode = {};
    glance.modes.forEach(function (m) {
      byMode[m.mode] = m;
      if (wanted && !wanted[m.mode]) return;
      modeRow(modes, m, shown && shown[m.mode]);
      drawn[m.mode] = {rating: m.rating, change: m.change};
    });
    shown = drawn;
    goals.forEach(function (g) {
      if (wanted && !wanted[g.mode]) return;
      var m = byMode[g.mode], now = m && m.rating !== null ? m.rating : glance.known[g.mode];
      var start = m && m.first !== null ? m.first : now;
      var row = el(goalBox, 'div', 'goal');
      row.dataset.mode = g.mode;
      el(row, 'span', 'name', g.mode + ' goal');
      bar(row, now === null ? 0 : now >= g.value ? 1 : g.value > start ? (now - start) / (g.value - start) : 0);
      el(row, 'span', 'num', (now === null ? '\u2013' : now.toFixed(2)) + ' / ' + g.value);
    });
    goalBox.hidden = !goalBox.firstChild;
    modes.hidden = !modes.firstChild;
    document.getElementById('none').textContent = 'No match yet this session';
    document.getElementById('none').hidden = !!modes.firstChild;
    var foot = document.getElementById('foot');
    foot.textContent = '';
    fields.forEach(function (f) {
      if (f === 'last' && glance.last && (!wanted || wanted[glance.last.mode])) {
        el(foot, 'span', glance.last.result === 'won' ? 'up' : 'down',
           'Last: ' + (glance.last.result === 'won' ? 'Won ' : 'Lost ') + glance.last.mode +
           (glance.last.change === null ? '' : ' ' + signed(glance.last.change))).id = 'last';
      }
      if (f === 'streak' && glance.streak && glance.streak.count > 1) {
        el(foot, 'span', '', glance.streak.count + (glance.streak.result === 'won' ? ' wins' : ' losses') + ' in a row').id = 'streak';
      }
    });
    foot.hidden = !foot.firstChild;
    var w = document.getElementById('warn'), losing = glance.streak && glance.streak.result === 'lost' ? glance.streak.count : 0;
    w.textContent = losing + ' losses in a row: time for a short break?';
    w.hidden = !(warn > 0 && losing >= warn);
    // A session by the clock (gap, since) moves on with time too: looked at every minute.
    if (glance.stream !== 'load' && !ticking) { ticking = setInterval(refresh, 60000); }
  }
  var ticking = null, busy = false, again = false;
  function refresh() {
    if (busy) { again = true; return; }
    busy = true;
    fetch(source, {cache: 'no-store'}).then(function (r) {
      // A refusal (a bad session=) is said in the card, in the server's words.
      return r.ok ? r.json() : r.text().then(function (why) { return {refused: why}; });
    }).then(function (glance) {
      if (glance.refused === undefined) { draw(glance); waiting(false); return; }
      waiting(false);
      ['modes', 'goals', 'foot', 'warn'].forEach(function (id) { document.getElementById(id).hidden = true; });
      var none = document.getElementById('none');
      none.textContent = glance.refused;
      none.hidden = false;
    }).catch(function () {}).then(function () { busy = false; if (again) { again = false; refresh(); } });
  }
  function waiting(down) {
    var card = document.getElementById('card');
    card.hidden = false;
    ['modes', 'goals', 'none', 'foot', 'warn'].forEach(function (id) { if (down) document.getElementById(id).hidden = true; });
    document.getElementById('waiting').hidden = !down;
    if (down) shown = null;
  }
  // sample=1: figures of a long evening instead of the server's, to size and try a setup.
  if (query.get('sample') === '1') {
    var mode = function (name, rating, first, rank, rankFrom, next, nextFrom) {
      return {mode: name, wins: 28, losses: 27, change: rating - first, rating: rating, first: first, rank: rank,
              rankFrom: rankFrom, next: next, nextFrom: nextFrom, toNext: next ? nextFrom - rating : null};
    };
    var sample = {stream: 'load', modes: [mode('1vs1', 1188.55, 1317.3, 'CH3 D2', 1180, 'CH3 D3', 1198),
      mode('2vs2', 1531.25, 1660, 'GC1 D3', 1498, 'GC1 D4', 1537), mode('3vs3', 1520.75, 1649.5, 'GC1 D3', 1498, 'GC1 D4', 1537),
      mode('Other', 1234.5, 1363.25, null, null, null, null)],
      known: {'1vs1': 1188.55, '2vs2': 1531.25, '3vs3': 1520.75, 'Other': 1234.5},
      last: {mode: '2vs2', result: 'lost', change: -12.25}, streak: {result: 'lost', count: 12}};
    waiting(false);
    draw(sample);
    return;
  }
  vantrelFollow(refresh, function (down) { if (down) waiting(true); });
})();
</script></body></html>
)";

}  // namespace

const std::string& OverlayPage() {
    static const std::string page = [] {
        std::string text;
        text.append(kHead).append(kFollowScript).append(kBody);
        return text;
    }();
    return page;
}

}  // namespace vantrel::report::serve
