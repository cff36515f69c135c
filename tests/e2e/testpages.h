#pragma once

#include "testhttpserver.h"

// Pages that try what a hostile page would: forge the script bridge's
// messages, reach the launcher from a frame, flood the program with popups.
inline void addHostilePages(TestHttpServer &server)
{
    // A console message that names itself after the bridge's script.
    server.route("/forged-bridge", R"(<html><body><script>
var text = '\x1b[tradory-bridge]' + JSON.stringify({name: 'msg_from_render', args: ['refresh']});
eval('console.log(' + JSON.stringify(text) + ')\n//# sourceURL=userscript:tradory-bridge');
window.done = true;
</script></body></html>)");
    // A frame whose document the engine has not yet given the bridge: its
    // parent lays traps there for whatever the bridge will send, lets the
    // frame call it once, then replays what it caught under the bridge's
    // source name.
    server.route("/bridge-thief", R"(<html><body><script>
window.stolen = [];
var frame = document.createElement('iframe');
document.body.appendChild(frame);
var w = frame.contentWindow;
var keep = function (args) { for (var i = 0; i < args.length; ++i) stolen.push(String(args[i])); };
w.Function.prototype.bind = function (self) {
  var f = this;
  return function () { keep(arguments); return f.apply(self, arguments); };
};
var log = w.console.log;
w.console.log = function () { keep(arguments); return log.apply(w.console, arguments); };
var dispatch = w.EventTarget.prototype.dispatchEvent;
w.EventTarget.prototype.dispatchEvent = function (e) { keep([e.type]); return dispatch.call(this, e); };
window.early = typeof w.refresh;
setTimeout(function () {
  window.answer = w.refresh();
  for (var i = 0; i < 3; ++i) {
    stolen.forEach(function (text) {
      eval('console.log(' + JSON.stringify(text) + ')\n//# sourceURL=userscript:tradory-bridge');
    });
  }
  window.done = window.early === 'undefined' && window.answer === 'Refresh Test';
}, 200);
</script></body></html>)");
    // Frames that ask for the launcher's scheme: one by its address, one by
    // script once it has loaded.
    server.route("/frame-scheme", "<html><body><iframe src='vellora://library/frame'></iframe>"
                                  "<iframe src='/frame-scheme-child'></iframe></body></html>");
    server.route("/frame-scheme-child", "<html><body><script>"
                                        "location.href = 'vellora://library/child'; window.tried = true;"
                                        "</script></body></html>");
    // window.open without any user gesture, many times over.
    server.route("/popup-flood", "<html><head><title>Popup flood</title></head><body>"
                                 "<button id='open' style='width:300px;height:100px'>open</button><script>"
                                 "for (var i = 0; i < 20; ++i) window.open('/popup-child?' + i);"
                                 "document.getElementById('open').onclick = function () {"
                                 "  for (var i = 0; i < 20; ++i) window.open('/popup-child?clicked' + i); };"
                                 "</script></body></html>");
}

// The pages the browser tests are served: fast, slow, HTTP errors with and
// without a body, a redirect, a popup, fullscreen, an iframe, a link to the
// launcher's scheme, a strict CSP and a download.
inline void addTestPages(TestHttpServer &server)
{
    server.route("/fast", "<html><head><title>Fast page</title></head><body><h1>fast</h1>"
                          "<script>window.keys = 0; addEventListener('keydown', function () { window.keys++; });"
                          "</script></body></html>");
    TestHttpServer::Response slow;
    slow.body = "<html><head><title>Slow page</title></head><body>slow</body></html>";
    slow.delayMs = 2500;
    server.route("/slow", slow);
    server.route("/not-found", TestHttpServer::Response{404, "<html><body><h1>Missing</h1></body></html>", "text/html", {}, 0});
    server.route("/broken", TestHttpServer::Response{500, "<html><body><h1>Broken</h1></body></html>", "text/html", {}, 0});
    server.route("/not-found-empty", TestHttpServer::Response{404, QByteArray(), "text/html", {}, 0});
    server.redirect("/moved", "/fast");
    server.route("/popup", "<html><head><title>Opener</title></head><body>"
                           "<button id='open' style='width:300px;height:100px'>open</button><script>"
                           "document.getElementById('open').onclick = function () {"
                           "  window.opened = window.open('/popup-child', 'child', 'width=420,height=300'); };"
                           "</script></body></html>");
    server.route("/popup-child", "<html><head><title>Gift card</title></head><body>child"
                                 "<script>window.closeSoon = function () { window.close(); };</script></body></html>");
    server.route("/fullscreen", "<html><head><title>Stage</title></head><body>"
                                "<div id='stage' style='width:300px;height:100px;background:#345'>stage</div>"
                                "<script>window.keys = 0; addEventListener('keydown', function () { window.keys++; });"
                                "document.getElementById('stage').onclick = function () {"
                                "  document.getElementById('stage').requestFullscreen(); };</script></body></html>");
    server.route("/iframe", "<html><body><iframe src='/fast'></iframe></body></html>");
    server.route("/scheme-link", "<html><body><a id='launcher' href='vellora://library/open' "
                                 "style='display:block;width:300px;height:100px'>launcher</a></body></html>");
    TestHttpServer::Response strict;
    strict.body = "<html><body><script src='/strict.js'></script></body></html>";
    strict.headers.insert("Content-Security-Policy", "default-src 'self'; script-src 'self'");
    server.route("/strict", strict);
    TestHttpServer::Response strictScript;
    strictScript.contentType = "application/javascript";
    strictScript.body = "window.answer = window.refresh();";
    server.route("/strict.js", strictScript);
    TestHttpServer::Response download;
    download.contentType = "application/octet-stream";
    download.body = QByteArray(4096, 'd');
    download.headers.insert("Content-Disposition", "attachment; filename=\"game.bin\"");
    server.route("/download", download);
    addHostilePages(server);
}
