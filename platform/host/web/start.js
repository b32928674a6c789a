// Runs the program's main once the runtime is ready, and tells the page (Module.ended) its exit
// code once: when main returns, or when the program calls exit. Asyncify's pauses hand the
// thread back to the browser, so main "returns" early to the runtime's own start-up, which then
// never sees the real return; calling main through ccall's asynchronous form does.
// Included in the module's scope (--pre-js).
Module['noInitialRun'] = true;
var ulvo_ended = false;
function ulvo_end(code) {
  if (ulvo_ended) return;
  ulvo_ended = true;
  if (Module['ended']) Module['ended'](code);
}
Module['onExit'] = ulvo_end;
Module['onRuntimeInitialized'] = function () {
  ccall('main', 'number', [], [], { async: true }).then(
    function (code) {
      try {
        exit(code);
      } catch (e) {
        // exit ends the runtime by throwing ExitStatus: nothing to report.
      }
      ulvo_end(code);
    },
    function (e) {
      if (e instanceof ExitStatus) ulvo_end(e.status);
      else throw e;
    },
  );
};
