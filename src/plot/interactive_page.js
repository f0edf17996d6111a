// What both interactive pages of velk-plot use: the self-test's report, the colours a canvas
// holds and the time a redraw takes.
window.velkPage = (function () {
  'use strict';

  // A user's steps, run by the page itself so that a headless browser can read the outcome from
  // the DOM: one line per step, "PASS step" or "FAIL step: why". `steps` is called with
  // step(name, check) and expect(condition, why); a check returns a detail or throws.
  function selfTest(steps) {
    var report = [];
    function step(name, check) {
      try {
        var detail = check();
        report.push('PASS ' + name + (detail ? ' ' + detail : ''));
      } catch (error) {
        report.push('FAIL ' + name + ': ' + (error && error.message ? error.message : error));
      }
    }
    function expect(condition, why) { if (!condition) throw new Error(why); }
    steps(step, expect);
    step('console', function () {
      expect(window.velkErrors.length === 0, window.velkErrors.join(' | '));
    });
    var out = document.getElementById('selftest');
    out.textContent = report.join('\n') + '\n';
    out.setAttribute('data-done', 'true');
  }

  // How many colours the first painted pixels of a canvas hold, counted up to `most`: a chart
  // drawn in its colours holds several, a blank or failed one at most its background's.
  function canvasColours(canvas, most) {
    var pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    var colours = {}, seen = 0;
    for (var p = 0; p < pixels.length && seen < most; p += 4) {
      if (pixels[p + 3] === 0) continue;
      var key = pixels[p] + ',' + pixels[p + 1] + ',' + pixels[p + 2];
      if (!colours[key]) { colours[key] = true; ++seen; }
    }
    return seen;
  }

  // Milliseconds that `action` takes, the redraw it causes included.
  function timed(action) {
    var start = performance.now();
    action();
    return performance.now() - start;
  }

  // The mouse wheel zooms the x axis about the pointer, inside the full view [lo, hi];
  // `setView(lo, hi)` redraws.
  function wheelZoom(chart, graph, full, setView) {
    chart.addEventListener('wheel', function (event) {
      event.preventDefault();
      var rect = chart.getBoundingClientRect();
      var x = graph.toDataXCoord(event.clientX - rect.left);
      var r = graph.xAxisRange();
      var factor = event.deltaY < 0 ? 0.8 : 1.25;
      setView(Math.max(x - (x - r[0]) * factor, full[0]), Math.min(x + (r[1] - x) * factor, full[1]));
    }, { passive: false });
  }

  return { selfTest: selfTest, canvasColours: canvasColours, timed: timed, wheelZoom: wheelZoom };
})();
