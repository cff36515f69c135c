#pragma once

#include "testhttpserver.h"

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
}
