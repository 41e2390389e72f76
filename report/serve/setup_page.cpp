// The setup page. Its script reads its own query into the form, and writes the form back
// into its URL, the overlay's URL, the preview's address and the text route's URL.
#include "setup_page.h"

#include <string_view>

#include "pages.h"

namespace vantrel::report::serve {
namespace {

constexpr std::string_view kSetup = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Vantrel overlay setup</title>
<style>
:root { color-scheme: dark; }
body { margin: 0; padding: 16px 20px; background: #0e1016; color: #e4e7ee;
       font: 14px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "DejaVu Sans", sans-serif; }
h1 { font-size: 22px; margin: 0 0 4px; } h2 { font-size: 16px; margin: 18px 0 6px; }
p.sub { color: #8f98a9; margin: 0 0 12px; }
main { display: flex; flex-wrap: wrap; gap: 24px; align-items: flex-start; }
form { flex: 0 0 360px; }
fieldset { border: 1px solid #252a36; border-radius: 8px; margin: 0 0 10px; padding: 6px 12px 10px; }
legend { color: #8f98a9; padding: 0 4px; }
label { display: inline-block; margin: 3px 12px 3px 0; }
input[type=number] { width: 6em; } input[type=text] { width: 100%; box-sizing: border-box; }
.out { flex: 1 1 420px; min-width: 0; }
.url { display: flex; gap: 6px; } .url input { flex: 1; font-family: ui-monospace, monospace; font-size: 12px; }
#preview { margin-top: 10px; overflow: auto; max-width: 100%; border: 1px solid #252a36; border-radius: 8px;
           background: repeating-conic-gradient(#3a3f4b 0% 25%, #2a2e38 0% 50%) 0 0 / 20px 20px; }
#preview iframe { display: block; border: 0; background: transparent; color-scheme: normal; }
#answer { padding: 6px 10px; background: #161922; border-radius: 6px; min-height: 1.4em; white-space: pre-wrap; }
.note { color: #8f98a9; font-size: 12px; }
</style></head>
<body><h1>Overlay setup</h1>
<p class="sub">Everything is in the address: bookmark this page to keep a setup. Add the overlay to OBS as a
Browser source with the URL and the size below.</p>
<main><form id="form" autocomplete="off">
<fieldset><legend>Modes (none ticked: every mode played)</legend>
<label><input type="checkbox" name="mode" value="1v1"> 1vs1</label><label><input type="checkbox" name="mode" value="2v2"> 2vs2</label>
<label><input type="checkbox" name="mode" value="3v3"> 3vs3</label><label><input type="checkbox" name="mode" value="other"> Other</label>
</fieldset>
<fieldset><legend>Look</legend>
<label>Style <select id="style"><option value="card">card</option><option value="row">row: a line per mode</option>
<option value="compact">compact: one line</option></select></label>
<label>Theme <select id="theme"><option value="dark">dark</option><option value="light">light</option></select></label>
<label>Scale <input id="scale" type="number" min="0.5" max="3" step="0.1" value="1"></label>
<label><input id="motion" type="checkbox" checked> animate a new rating</label>
</fieldset>
<fieldset id="fields"><legend>Figures, in this order</legend>
<label><input type="checkbox" name="field" value="record" checked> wins-losses</label>
<label><input type="checkbox" name="field" value="change" checked> change</label>
<label><input type="checkbox" name="field" value="rating" checked> rating</label>
<label><input type="checkbox" name="field" value="rank" checked> rank</label>
<label><input type="checkbox" name="field" value="progress" checked> to the next division</label>
<label><input type="checkbox" name="field" value="last" checked> last match</label>
<label><input type="checkbox" name="field" value="streak" checked> streak</label>
</fieldset>
<fieldset><legend>Goals (a rating to reach; empty: none)</legend>
<label>1vs1 <input class="goal" data-mode="1v1" type="number" step="any" min="0"></label>
<label>2vs2 <input class="goal" data-mode="2v2" type="number" step="any" min="0"></label>
<label>3vs3 <input class="goal" data-mode="3v3" type="number" step="any" min="0"></label>
<label>Other <input class="goal" data-mode="other" type="number" step="any" min="0"></label>
</fieldset>
<fieldset><legend>This session is</legend>
<label><select id="session"><option value="">the server's choice (--stream-session; load unless told)</option>
<option value="load">each load of the plug-in (a game restart starts anew)</option>
<option value="gap">matches with pauses of at most</option><option value="since">the matches since</option></select></label>
<label><input id="gap" type="number" min="1" max="1440" value="30"> minutes</label>
<label><input id="since" type="time" value="18:00"> (today, or yesterday until then)</label>
</fieldset>
<fieldset><legend>Warning</legend>
<label>after <input id="warn" type="number" min="0" max="99" value="0"> losses in a row (0: never)</label>
</fieldset>
<fieldset><legend>Chat bot text (/api/text)</legend>
<label>Mode <select id="text-mode"><option value="1v1">1vs1</option><option value="2v2" selected>2vs2</option>
<option value="3v3">3vs3</option><option value="other">Other</option></select></label>
<label style="display:block">Template (empty: the default) <input id="template" type="text" maxlength="400"></label>
<p class="note">Placeholders: {mode} {rating} {rank} {toNext} {next} {record} {wins} {losses} {change} {last}
{streak} {goal} {toGoal}. The session and this mode's goal above apply.</p>
</fieldset>
</form>
<div class="out">
<h2>Overlay</h2>
<div class="url"><input id="overlay-url" type="text" readonly><button type="button" data-copy="overlay-url">Copy</button></div>
<p class="note" id="size"></p>
<label class="note"><input id="sample" type="checkbox"> preview with sample figures (a long evening)</label>
<div id="preview"><iframe id="frame" title="the overlay, as OBS shows it"></iframe></div>
<iframe id="measure" title="the overlay measured" aria-hidden="true" tabindex="-1" width="4000" height="2000"
 style="position: absolute; left: -10000px; top: 0; visibility: hidden"></iframe>
<h2>Chat bot</h2>
<div class="url"><input id="text-url" type="text" readonly><button type="button" data-copy="text-url">Copy</button></div>
<p class="note">A bot running on this computer can fetch it; a bot in the cloud cannot reach 127.0.0.1.</p>
<div id="answer"></div>
</div></main>
<script>
(function () {@FOLLOW@
  var $ = function (id) { return document.getElementById(id); };
  var FIELDS = ['record', 'change', 'rating', 'rank', 'progress', 'last', 'streak'];
  var all = function (selector) { return Array.prototype.slice.call(document.querySelectorAll(selector)); };
  var q = new URLSearchParams(location.search);

  // The page's own query into the form.
  var modes = (q.get('modes') || '').split(',');
  all('input[name=mode]').forEach(function (box) { box.checked = modes.indexOf(box.value) >= 0; });
  if (['row', 'compact'].indexOf(q.get('style')) >= 0) $('style').value = q.get('style');
  if (q.get('theme') === 'light') $('theme').value = 'light';
  if (parseFloat(q.get('scale')) >= 0.5 && parseFloat(q.get('scale')) <= 3) $('scale').value = parseFloat(q.get('scale'));
  if (q.get('motion') === 'off') $('motion').checked = false;
  if (q.get('fields')) {
    var shown = q.get('fields').split(',');
    all('input[name=field]').forEach(function (box) { box.checked = shown.indexOf(box.value) >= 0; });
  }
  (q.get('goal') || '').split(',').forEach(function (g) {
    var parts = g.split(':');
    all('input.goal').forEach(function (box) { if (box.dataset.mode === parts[0] && isFinite(parseFloat(parts[1]))) box.value = parseFloat(parts[1]); });
  });
  var session = (q.get('session') || '').split(':');
  if (session[0] === 'load') $('session').value = 'load';
  if (session[0] === 'gap' && parseInt(session[1], 10) > 0) { $('session').value = 'gap'; $('gap').value = parseInt(session[1], 10); }
  if (session[0] === 'since' && session.length === 3) { $('session').value = 'since'; $('since').value = session[1] + ':' + session[2]; }
  if (parseInt(q.get('warn'), 10) > 0) $('warn').value = parseInt(q.get('warn'), 10);
  if (['1v1', '2v2', '3v3', 'other'].indexOf(q.get('text-mode')) >= 0) $('text-mode').value = q.get('text-mode');
  if (q.get('template')) $('template').value = q.get('template');

  function sessionValue() {
    var kind = $('session').value;
    if (kind === 'gap') return 'gap:' + Math.max(1, Math.min(1440, parseInt($('gap').value, 10) || 30));
    if (kind === 'since') return 'since:' + ($('since').value || '18:00');
    return kind;
  }
  function goalValue(mode) {
    var box = all('input.goal').filter(function (b) { return b.dataset.mode === mode; })[0];
    return box && box.value !== '' && isFinite(parseFloat(box.value)) ? String(parseFloat(box.value)) : '';
  }
  // The overlay's query: only what differs from its defaults.
  function overlayQuery() {
    var p = new URLSearchParams();
    var picked = all('input[name=mode]').filter(function (b) { return b.checked; }).map(function (b) { return b.value; });
    if (picked.length) p.set('modes', picked.join(','));
    if ($('style').value !== 'card') p.set('style', $('style').value);
    if ($('theme').value !== 'dark') p.set('theme', $('theme').value);
    var scale = parseFloat($('scale').value);
    if (scale >= 0.5 && scale <= 3 && scale !== 1) p.set('scale', String(scale));
    var fields = all('input[name=field]').filter(function (b) { return b.checked; }).map(function (b) { return b.value; });
    if (fields.join(',') !== FIELDS.join(',')) p.set('fields', fields.length ? fields.join(',') : 'record');
    var goals = ['1v1', '2v2', '3v3', 'other'].filter(goalValue).map(function (m) { return m + ':' + goalValue(m); });
    if (goals.length) p.set('goal', goals.join(','));
    if (sessionValue()) p.set('session', sessionValue());
    var warn = parseInt($('warn').value, 10);
    if (warn > 0) p.set('warn', String(warn));
    if (!$('motion').checked) p.set('motion', 'off');
    return p;
  }
  function textQuery() {
    var p = new URLSearchParams();
    p.set('mode', $('text-mode').value);
    if ($('template').value) p.set('template', $('template').value);
    if (sessionValue()) p.set('session', sessionValue());
    if (goalValue($('text-mode').value)) p.set('goal', goalValue($('text-mode').value));
    return p;
  }
  var asked = 0, answerTimer = null;
  function update() {
    var overlay = overlayQuery().toString(), text = textQuery().toString();
    var path = '/overlay' + (overlay ? '?' + overlay : '');
    $('overlay-url').value = location.origin + path;
    var shown = path + ($('sample').checked ? (overlay ? '&' : '?') + 'sample=1' : '');
    if ($('frame').getAttribute('src') !== shown) $('frame').setAttribute('src', shown);
    measure(path);
    $('text-url').value = location.origin + '/api/text?' + text;
    var own = new URLSearchParams(overlay);
    if ($('text-mode').value !== '2v2') own.set('text-mode', $('text-mode').value);
    if ($('template').value) own.set('template', $('template').value);
    history.replaceState(null, '', '/setup' + (own.toString() ? '?' + own.toString() : ''));
    clearTimeout(answerTimer);
    answerTimer = setTimeout(function () { answer('/api/text?' + text); }, 250);
  }
  // The browser source's size: the overlay with these options drawn with a long evening's
  // figures (every mode asked for, every figure, a losing streak), plus a little room.
  function measure(path) {
    var box = $('measure'), sample = path + (path.indexOf('?') >= 0 ? '&' : '?') + 'sample=1';
    if (box.dataset.path === path) return;
    box.dataset.path = path;
    box.onload = function () {
      var doc = box.contentDocument, card = doc && doc.getElementById('card');
      if (!card || box.dataset.path !== path) return;
      var r = card.getBoundingClientRect(), margin = parseFloat(doc.defaultView.getComputedStyle(card).marginLeft) || 0;
      var w = Math.ceil((r.right + margin) * 1.05 / 10) * 10, h = Math.ceil((r.bottom + margin) * 1.05 / 10) * 10;
      $('frame').width = w;
      $('frame').height = h;
      $('frame').dataset.measured = path;
      $('size').textContent = 'Browser source: width ' + w + ', height ' + h +
        ' (room for a long evening with these options; the background is transparent)';
    };
    box.setAttribute('src', sample);
  }
  function answer(url) {
    var mine = ++asked;
    fetch(url, {cache: 'no-store'}).then(function (r) {
      return r.text().then(function (t) { return (r.ok ? '' : 'refused: ') + t; });
    }).catch(function () { return 'waiting for vantrel-report'; }).then(function (t) {
      if (mine === asked) $('answer').textContent = t;
    });
  }
  $('form').addEventListener('input', update);
  $('form').addEventListener('change', update);
  $('sample').addEventListener('change', update);
  all('button[data-copy]').forEach(function (button) {
    button.addEventListener('click', function () {
      var box = $(button.dataset.copy);
      var done = function () { button.textContent = 'Copied'; setTimeout(function () { button.textContent = 'Copy'; }, 1500); };
      var fallback = function () { box.select(); if (document.execCommand('copy')) done(); };
      if (navigator.clipboard) navigator.clipboard.writeText(box.value).then(done, fallback); else fallback();
    });
  });
  // A rating that changes while the page is open changes the answer shown.
  vantrelFollow(function () { answer($('text-url').value.slice(location.origin.length)); }, function () {});
  update();
})();
</script></body></html>
)";

}  // namespace

const std::string& SetupPage() {
    static const std::string page = [] {
        std::string text(kSetup);
        const std::string_view mark = "@FOLLOW@";
        text.replace(text.find(mark), mark.size(), kFollowScript);
        return text;
    }();
    return page;
}

}  // namespace vantrel::report::serve
