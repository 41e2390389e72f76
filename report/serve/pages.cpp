// The live page's script, and the event-following script every live page shares.
#include "pages.h"

namespace vantrel::report::serve {

// Follows /events for as long as the page is open: on every event and on every (re)opened
// stream the page fetches its state afresh (so a server that restarted, whose event ids
// begin again, is simply read anew). A broken stream is closed and opened again after 1 s,
// then 2, 4, ... at most 30 s, with `waiting(true)` meanwhile: a page whose server is
// down (or not yet up) says so and keeps trying.
const std::string_view kFollowScript = R"(
function vantrelFollow(refresh, waiting) {
  var delay = 1000;
  function open() {
    var events = new EventSource('/events');
    events.onopen = function () { delay = 1000; waiting(false); refresh(); };
    ['session', 'match', 'rating', 'reset'].forEach(function (kind) { events.addEventListener(kind, refresh); });
    events.onerror = function () {
      events.close();
      waiting(true);
      setTimeout(open, delay);
      delay = Math.min(delay * 2, 30000);
    };
  }
  open();
}
)";

namespace {

// Redraws from the server on every event: the page as --html writes it, fetched again, its
// <main> put in place of the shown one. One fetch at a time; events during a fetch ask
// for one more. While the server cannot be reached a line at the top says so.
constexpr std::string_view kLiveScriptHead = "<script>\n(function () {";
constexpr std::string_view kLiveScriptBody = R"(
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
  var line = document.createElement('p');
  line.id = 'waiting';
  line.textContent = 'waiting for vantrel-report';
  line.style.cssText = 'position:fixed;top:0;left:0;right:0;margin:0;padding:6px 12px;background:#5a3d00;color:#fff;font-weight:600;z-index:9';
  line.hidden = true;
  document.body.prepend(line);
  vantrelFollow(redraw, function (down) { line.hidden = !down; });
})();
</script>)";

}  // namespace

std::string LivePage(std::string_view page) {
    std::string script;
    script.append(kLiveScriptHead).append(kFollowScript).append(kLiveScriptBody);
    std::string live(page);
    const auto end = live.rfind("</body>");
    live.insert(end == std::string::npos ? live.size() : end, script);
    return live;
}

}  // namespace vantrel::report::serve
