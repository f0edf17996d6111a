// The interactive spectrum page of velk-plot transitions --html.
//
// dygraphs owns the axes, the zoom by dragging, the pan and the reset; it is given two rows only
// (the corners of the full range), and the series are drawn by plotters of this file from typed
// arrays, one column of pixels at a time: a view of 10^6 envelope points or 10^5 sticks costs
// one pass over the points inside it and at most a few strokes per pixel column, whatever the
// number of points behind them.
(function () {
  'use strict';

  var BRANCH_COLOURS = ['#d62728', '#2ca02c', '#1f77b4'];
  var BRANCH_LETTERS = ['P', 'Q', 'R'];
  var ENVELOPE_COLOUR = '#8c8c8c';
  var OBSERVED_COLOUR = 'rgba(0, 0, 0, 0.75)';
  // A click or a hover reaches this far in pixels: the width of a stick and a little more.
  var PICK_PIXELS = 4;
  // The local maximum of the observed spectrum is looked for this far around a click.
  var PEAK_PIXELS = 8;
  var DATA_COLUMNS = 'upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,' +
    'wavenumber,uncertainty,mass_index,series';

  var data = JSON.parse(document.getElementById('velk-data').textContent);
  var raw = data.lines;
  var lineCount = raw.wavenumber.length;

  function branchOf(k) {
    var given = raw.branch[k];
    if (given === 'P' || given === 'Q' || given === 'R') return BRANCH_LETTERS.indexOf(given);
    var dJ = raw.upper_J[k] - raw.lower_J[k];
    return dJ < 0 ? 0 : dJ === 0 ? 1 : 2;
  }

  // The lines as the test and a user's console see them, in the order of vel_tran.csv.
  var lines = new Array(lineCount);
  for (var k = 0; k < lineCount; ++k) {
    lines[k] = {
      index: k, number: raw.number[k], branch: BRANCH_LETTERS[branchOf(k)],
      upper_v: raw.upper_v[k], upper_J: raw.upper_J[k], upper_p: raw.upper_p[k],
      lower_v: raw.lower_v[k], lower_J: raw.lower_J[k], lower_p: raw.lower_p[k],
      wavenumber: raw.wavenumber[k], FCF: raw.FCF[k], HL: raw.HL[k],
      intensity: raw.intensity[k], A: raw.A_einstein[k]
    };
  }

  // Sticks: the lines with a positive intensity, by increasing wavenumber.
  var drawable = [];
  var strongest = 0;
  for (k = 0; k < lineCount; ++k) {
    var intensity = raw.intensity[k];
    if (intensity !== null && intensity > 0) {
      drawable.push(k);
      if (intensity > strongest) strongest = intensity;
    }
  }
  drawable.sort(function (a, b) { return raw.wavenumber[a] - raw.wavenumber[b]; });
  var stickCount = drawable.length;
  var stickLine = Uint32Array.from(drawable);
  var stickNu = new Float64Array(stickCount);
  var stickHeight = new Float64Array(stickCount);
  var stickBranch = new Uint8Array(stickCount);
  for (var s = 0; s < stickCount; ++s) {
    stickNu[s] = raw.wavenumber[drawable[s]];
    stickHeight[s] = raw.intensity[drawable[s]] / strongest;
    stickBranch[s] = branchOf(drawable[s]);
  }

  function sortedCurve(curve, normalise) {
    if (!curve) return null;
    var n = curve.x.length;
    var order = new Uint32Array(n);
    var sorted = true;
    for (var i = 0; i < n; ++i) {
      order[i] = i;
      if (i > 0 && curve.x[i] < curve.x[i - 1]) sorted = false;
    }
    if (!sorted) order.sort(function (a, b) { return curve.x[a] - curve.x[b]; });
    var x = new Float64Array(n), y = new Float64Array(n);
    var top = -Infinity, bottom = Infinity;
    for (i = 0; i < n; ++i) {
      x[i] = curve.x[order[i]];
      y[i] = curve.y[order[i]];
      if (y[i] > top) top = y[i];
      if (y[i] < bottom) bottom = y[i];
    }
    if (normalise && top > 0) {
      for (i = 0; i < n; ++i) y[i] /= top;
      bottom /= top;
      top = 1;
    }
    return { x: x, y: y, top: top, bottom: bottom, name: curve.name };
  }
  var envelope = sortedCurve(data.envelope, true);
  var observed = sortedCurve(data.observed, false);

  var fullLo = Infinity, fullHi = -Infinity;
  function widen(lo, hi) {
    if (lo < fullLo) fullLo = lo;
    if (hi > fullHi) fullHi = hi;
  }
  if (stickCount > 0) widen(stickNu[0], stickNu[stickCount - 1]);
  if (envelope && envelope.x.length > 0) widen(envelope.x[0], envelope.x[envelope.x.length - 1]);
  if (!(fullHi > fullLo)) { fullLo -= 1; fullHi += 1; }
  var margin = 0.02 * (fullHi - fullLo);
  fullLo -= margin;
  fullHi += margin;

  // First index whose value is not below `value` (the length when none).
  function lowerBound(values, value) {
    var lo = 0, hi = values.length;
    while (lo < hi) {
      var mid = (lo + hi) >>> 1;
      if (values[mid] < value) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  // The maps of the view to pixels, taken once per drawing.
  function viewOf(g, area, axis) {
    var xr = g.xAxisRange(), yr = g.yAxisRange(axis);
    return {
      x0: xr[0], x1: xr[1], sx: area.w / (xr[1] - xr[0]), left: area.x,
      y0: yr[0], sy: area.h / (yr[1] - yr[0]), bottom: area.y + area.h
    };
  }

  var drawn = { sticks: 0, envelope: 0, observed: 0, visibleSticks: 0 };
  // Per pixel column and branch, the tallest stick; sized to the widest plot area seen.
  var columnTop = new Float64Array(0);

  function drawSticks(e) {
    var g = e.dygraph, area = e.plotArea, ctx = e.drawingContext;
    var v = viewOf(g, area, 0);
    var first = lowerBound(stickNu, v.x0), last = lowerBound(stickNu, v.x1);
    while (last < stickCount && stickNu[last] <= v.x1) ++last;
    drawn.visibleSticks = last - first;
    drawn.sticks = 0;
    var base = v.bottom - (0 - v.y0) * v.sy;
    ctx.save();
    ctx.beginPath();
    ctx.rect(area.x, area.y, area.w, area.h);
    ctx.clip();
    var width = Math.ceil(area.w) + 1;
    if (last - first <= width) {
      ctx.lineWidth = 1.5;
      for (var b = 0; b < 3; ++b) {
        ctx.beginPath();
        ctx.strokeStyle = BRANCH_COLOURS[b];
        for (var i = first; i < last; ++i) {
          if (stickBranch[i] !== b) continue;
          var px = v.left + (stickNu[i] - v.x0) * v.sx;
          ctx.moveTo(px, base);
          ctx.lineTo(px, v.bottom - (stickHeight[i] - v.y0) * v.sy);
          ++drawn.sticks;
        }
        ctx.stroke();
      }
    } else {
      if (columnTop.length < 3 * width) columnTop = new Float64Array(3 * width);
      columnTop.fill(0, 0, 3 * width);
      for (var j = first; j < last; ++j) {
        var column = ((stickNu[j] - v.x0) * v.sx) | 0;
        var slot = stickBranch[j] * width + column;
        if (stickHeight[j] > columnTop[slot]) columnTop[slot] = stickHeight[j];
      }
      ctx.lineWidth = 1;
      for (b = 0; b < 3; ++b) {
        ctx.beginPath();
        ctx.strokeStyle = BRANCH_COLOURS[b];
        for (var c = 0; c < width; ++c) {
          var top = columnTop[b * width + c];
          if (top === 0) continue;
          var cx = v.left + c + 0.5;
          ctx.moveTo(cx, base);
          ctx.lineTo(cx, v.bottom - (top - v.y0) * v.sy);
          ++drawn.sticks;
        }
        ctx.stroke();
      }
    }
    ctx.restore();
  }

  // A curve as one stroke: each pixel column that holds several points becomes the vertical
  // segment from their lowest to their highest, which keeps every peak of the view.
  function drawCurve(curve, e, axis, colour) {
    if (!curve) return 0;
    var g = e.dygraph, area = e.plotArea, ctx = e.drawingContext;
    var v = viewOf(g, area, axis);
    var xs = curve.x, ys = curve.y, n = xs.length;
    var first = Math.max(0, lowerBound(xs, v.x0) - 1);
    var last = Math.min(n, lowerBound(xs, v.x1) + 1);
    ctx.save();
    ctx.beginPath();
    ctx.rect(area.x, area.y, area.w, area.h);
    ctx.clip();
    ctx.beginPath();
    ctx.strokeStyle = colour;
    ctx.lineWidth = 1;
    var strokes = 0;
    var column = NaN, low = 0, high = 0;
    for (var i = first; i < last; ++i) {
      var px = v.left + (xs[i] - v.x0) * v.sx;
      var py = v.bottom - (ys[i] - v.y0) * v.sy;
      var c = Math.floor(px);
      if (c === column) {
        if (py < low) low = py;
        if (py > high) high = py;
        continue;
      }
      if (strokes > 0 && high > low) { ctx.lineTo(column + 0.5, low); ctx.lineTo(column + 0.5, high); }
      if (strokes === 0) ctx.moveTo(px, py); else ctx.lineTo(px, py);
      column = c;
      low = high = py;
      ++strokes;
    }
    if (strokes > 0 && high > low) { ctx.lineTo(column + 0.5, low); ctx.lineTo(column + 0.5, high); }
    ctx.stroke();
    ctx.restore();
    return strokes;
  }

  function drawEnvelope(e) { drawn.envelope = drawCurve(envelope, e, 0, ENVELOPE_COLOUR); }
  function drawObserved(e) { drawn.observed = drawCurve(observed, e, 1, OBSERVED_COLOUR); }

  var nmAxis = document.getElementById('nm-axis');
  function axisLabel(x) {
    if (nmAxis.checked) return x > 0 ? (1e7 / x).toFixed(x > 1e5 ? 4 : 2) : '';
    return String(Math.round(x * 1e6) / 1e6);
  }

  // Drawn in this order: the sticks last, so that a measured spectrum does not hide them.
  var labels = ['wavenumber', 'envelope'];
  var row0 = [fullLo, 0], row1 = [fullHi, 1];
  var series = { envelope: { plotter: drawEnvelope }, sticks: { plotter: drawSticks } };
  var axes = { x: { axisLabelFormatter: axisLabel, axisLabelWidth: 70 } };
  if (observed) {
    labels.push('observed');
    var span = observed.top - Math.min(0, observed.bottom);
    var observedLo = Math.min(0, observed.bottom), observedHi = observed.top + 0.12 * (span > 0 ? span : 1);
    row0.push(observedLo);
    row1.push(observedHi);
    series.observed = { axis: 'y2', plotter: drawObserved };
    axes.y2 = { valueRange: [observedLo, observedHi], independentTicks: true, drawGrid: false,
      axisLabelWidth: 70, axisLabelFormatter: function (y) { return Number(y).toPrecision(3); } };
  }
  labels.push('sticks');
  row0.push(0);
  row1.push(1);

  var chart = document.getElementById('chart');
  var card = document.getElementById('card');
  var status = document.getElementById('status');
  var pending = null;  // {kind: 'stick', line} or {kind: 'peak', wavenumber}
  var pairs = [];

  var g = new Dygraph(chart, [row0, row1], {
    labels: labels,
    legend: 'never',
    valueRange: [0, 1.12],
    dateWindow: [fullLo, fullHi],
    xlabel: nmAxis.checked ? 'wavelength (nm)' : 'wavenumber (cm-1)',
    ylabel: 'relative intensity',
    y2label: observed ? 'observed' : undefined,
    series: series,
    axes: axes,
    showLabelsOnHighlight: false,
    clickCallback: function (event, x) { pickAt(event, x); }
  });

  function setWindow(lo, hi) {
    g.updateOptions({ dateWindow: [lo, hi] });
  }

  function reset() { setWindow(fullLo, fullHi); }

  function pixelsToCm(pixels) {
    var r = g.xAxisRange();
    return pixels * (r[1] - r[0]) / g.getArea().w;
  }

  // The stick a pointer at wavenumber x names: the tallest within PICK_PIXELS, as the drawing
  // shows the tallest of each pixel column; -1 when none is that close.
  function stickNear(x) {
    var reach = pixelsToCm(PICK_PIXELS);
    var best = -1;
    var end = Math.min(stickCount, lowerBound(stickNu, x + reach) + 1);
    for (var i = lowerBound(stickNu, x - reach); i < end; ++i) {
      if (Math.abs(stickNu[i] - x) > reach) continue;
      if (best < 0 || stickHeight[i] > stickHeight[best]) best = i;
    }
    return best;
  }

  // The highest point of the observed spectrum within PEAK_PIXELS of x: the peak a click names.
  function observedPeakNear(x) {
    if (!observed) return x;
    var reach = pixelsToCm(PEAK_PIXELS);
    var best = -1;
    var end = lowerBound(observed.x, x + reach);
    for (var i = lowerBound(observed.x, x - reach); i < end && i < observed.x.length; ++i) {
      if (best < 0 || observed.y[i] > observed.y[best]) best = i;
    }
    return best < 0 ? x : observed.x[best];
  }

  function fixed(value, digits) {
    return value === null || value === undefined ? '—' : Number(value).toFixed(digits);
  }
  function general(value) {
    return value === null || value === undefined ? '—' : Number(value).toPrecision(6);
  }

  function lineName(line) { return line.branch + '(' + line.lower_J + ')'; }
  function bandName(line) { return line.upper_v + '–' + line.lower_v; }

  function cardText(line) {
    return lineName(line) + '   v′–v″ = ' + bandName(line) +
      '\nν = ' + fixed(line.wavenumber, 6) + ' cm-1  (' + fixed(1e7 / line.wavenumber, 4) + ' nm)' +
      '\nFCF = ' + general(line.FCF) + '   HL = ' + general(line.HL) +
      '\nintensity = ' + general(line.intensity) + '   A = ' + general(line.A) + ' s-1';
  }

  chart.addEventListener('mousemove', function (event) {
    var rect = chart.getBoundingClientRect();
    var px = event.clientX - rect.left;
    var area = g.getArea();
    if (px < area.x || px > area.x + area.w) { card.style.display = 'none'; return; }
    var s = stickNear(g.toDataXCoord(px));
    if (s < 0) { card.style.display = 'none'; return; }
    var line = lines[stickLine[s]];
    card.textContent = cardText(line);
    card.className = 'branch-' + line.branch;
    card.style.left = (event.pageX + 14) + 'px';
    card.style.top = (event.pageY + 14) + 'px';
    card.style.display = 'block';
  });
  chart.addEventListener('mouseleave', function () { card.style.display = 'none'; });

  velkPage.wheelZoom(chart, g, [fullLo, fullHi], setWindow);

  document.getElementById('reset').addEventListener('click', reset);
  nmAxis.addEventListener('change', function () {
    g.updateOptions({ xlabel: nmAxis.checked ? 'wavelength (nm)' : 'wavenumber (cm-1)' });
  });

  // A click names a stick or an observed peak, whichever of the two it is nearer; once one is
  // chosen, the next click names the other.
  function pickAt(event, x) {
    var s = stickNear(x);
    var wantPeak;
    if (pending && pending.kind === 'stick') wantPeak = true;
    else if (pending && pending.kind === 'peak') wantPeak = false;
    else if (s < 0) wantPeak = true;
    else if (!observed) wantPeak = false;
    else {
      var rect = chart.getBoundingClientRect();
      var py = event.clientY - rect.top;
      var peak = observedPeakNear(x);
      var peakY = g.toDomYCoord(observed.y[lowerBound(observed.x, peak)], 1);
      var stickTop = g.toDomYCoord(stickHeight[s], 0);
      var stickBase = g.toDomYCoord(0, 0);
      var toStick = py < stickTop ? stickTop - py : py > stickBase ? py - stickBase : 0;
      wantPeak = Math.abs(peakY - py) < toStick;
    }
    if (wantPeak) {
      var wavenumber = observedPeakNear(x);
      if (pending && pending.kind === 'stick') { assign(wavenumber, pending.line); return; }
      pending = { kind: 'peak', wavenumber: wavenumber };
      status.textContent = 'observed peak at ' + fixed(wavenumber, 5) + ' cm-1: now click its stick';
    } else if (s >= 0) {
      var line = stickLine[s];
      if (pending && pending.kind === 'peak') { assign(pending.wavenumber, line); return; }
      pending = { kind: 'stick', line: line };
      status.textContent = lineName(lines[line]) + ' ' + bandName(lines[line]) +
        ' chosen: now click its observed peak';
    }
  }

  function assign(observedCm1, lineIndex) {
    if (!(lineIndex >= 0 && lineIndex < lineCount)) throw new Error('no line ' + lineIndex);
    var wavenumber = observed ? observedPeakNear(observedCm1) : observedCm1;
    var line = lines[lineIndex];
    // One observed wavenumber per line: a second assignment of the line replaces the first.
    pairs = pairs.filter(function (pair) { return pair.line !== lineIndex; });
    var pair = {
      line: lineIndex, observed: wavenumber, calculated: line.wavenumber,
      obs_minus_calc: wavenumber - line.wavenumber
    };
    pairs.push(pair);
    pending = null;
    status.textContent = lineName(line) + ' ' + bandName(line) + ' assigned: obs − calc = ' +
      fixed(pair.obs_minus_calc, 5) + ' cm-1';
    showPairs();
    return pair;
  }

  function removePair(lineIndex) {
    pairs = pairs.filter(function (pair) { return pair.line !== lineIndex; });
    showPairs();
  }

  function showPairs() {
    var body = document.querySelector('#assignments tbody');
    while (body.firstChild) body.removeChild(body.firstChild);
    pairs.forEach(function (pair) {
      var line = lines[pair.line];
      var row = document.createElement('tr');
      row.setAttribute('data-line', String(pair.line));
      [lineName(line), bandName(line), fixed(pair.observed, 5), fixed(pair.calculated, 5),
        fixed(pair.obs_minus_calc, 5)].forEach(function (text, column) {
        var cell = document.createElement('td');
        cell.textContent = text;
        if (column === 0) cell.className = 'branch-' + line.branch;
        if (column === 4) cell.className = 'obs-minus-calc';
        row.appendChild(cell);
      });
      var action = document.createElement('td');
      var button = document.createElement('button');
      button.type = 'button';
      button.textContent = 'remove';
      button.addEventListener('click', function () { removePair(pair.line); });
      action.appendChild(button);
      row.appendChild(action);
      body.appendChild(row);
    });
  }

  function cell(value) { return value === null || value === undefined ? '' : String(value); }

  function assignmentsCsv() {
    var uncertainty = document.getElementById('uncertainty').value.trim();
    var upper = document.getElementById('upper-state').value;
    var lower = document.getElementById('lower-state').value;
    var text = DATA_COLUMNS + '\n';
    pairs.forEach(function (pair) {
      var line = lines[pair.line];
      text += [upper, line.upper_v, line.upper_J, cell(line.upper_p), lower, line.lower_v,
        line.lower_J, cell(line.lower_p), String(pair.observed), uncertainty, '', ''].join(',') + '\n';
    });
    return text;
  }

  // A page opened from the file system cannot write a file: the CSV is offered as a download.
  function offerDownload() {
    var link = document.getElementById('download');
    if (link.href) URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(new Blob([assignmentsCsv()], { type: 'text/csv' }));
    link.download = 'assignments.csv';
    link.style.display = 'inline';
    return link;
  }
  function save() { offerDownload().click(); }
  document.getElementById('save').addEventListener('click', save);

  function zoom(lo, hi) {
    return velkPage.timed(function () { setWindow(lo, hi); });
  }

  window.velk = {
    lines: lines,
    zoom: zoom,
    reset: reset,
    range: function () { return g.xAxisRange().slice(); },
    drawn: drawn,
    assign: assign,
    remove: removePair,
    assignments: function () { return pairs.slice(); },
    csv: assignmentsCsv,
    save: save,
    graph: g
  };

  // The steps a user takes, as the page's self-test runs them.
  function selftest() {
    velkPage.selfTest(function (step, expect) {
      var strongestStick = 0;
      for (var i = 1; i < stickCount; ++i) if (stickHeight[i] > stickHeight[strongestStick]) strongestStick = i;

      step('load', function () {
        expect(typeof Dygraph === 'function', 'the charting library is not there');
        expect(stickCount > 0, 'no line with an intensity');
        return lineCount + ' lines, ' + stickCount + ' sticks, ' +
          (envelope ? envelope.x.length : 0) + ' envelope points, ' +
          (observed ? observed.x.length : 0) + ' observed points';
      });
      step('draw', function () {
        reset();
        expect(drawn.sticks > 0, 'no stick drawn');
        expect(!envelope || drawn.envelope > 0, 'no envelope drawn');
        expect(!observed || drawn.observed > 0, 'no observed spectrum drawn');
        var count = velkPage.canvasColours(chart.querySelector('canvas'), 50);
        expect(count >= 3, 'the plot canvas holds ' + count + ' colours');
        chart.setAttribute('data-sticks-drawn', String(drawn.sticks));
        chart.setAttribute('data-envelope-strokes', String(drawn.envelope));
        return drawn.sticks + ' stick strokes, ' + drawn.envelope + ' envelope strokes, ' +
          count + '+ colours';
      });
      var head = stickNu[strongestStick];
      var half = Math.max((fullHi - fullLo) / 400, 1e-3);
      step('zoom', function () {
        var before = drawn.visibleSticks;
        zoom(head - half, head + half);
        var r = g.xAxisRange();
        expect(Math.abs(r[0] - (head - half)) < 1e-9 * Math.abs(head) + 1e-12 &&
               Math.abs(r[1] - (head + half)) < 1e-9 * Math.abs(head) + 1e-12,
               'the view is ' + r[0] + '..' + r[1]);
        expect(drawn.visibleSticks > 0, 'no stick in the zoomed view');
        expect(stickCount < 2 || drawn.visibleSticks < before, 'the zoom left ' + drawn.visibleSticks +
          ' of ' + before + ' sticks in view');
        chart.setAttribute('data-view', r[0] + ' ' + r[1]);
        return 'view ' + r[0].toFixed(4) + '..' + r[1].toFixed(4) + ' cm-1, ' + drawn.visibleSticks +
          ' of ' + stickCount + ' sticks';
      });
      step('redraw-time', function () {
        var times = [];
        var width = fullHi - fullLo;
        for (var z = 0; z < 9; ++z) {
          var fraction = 1 / (1 + z);
          times.push(zoom(fullLo + 0.5 * (1 - fraction) * width, fullHi - 0.5 * (1 - fraction) * width));
        }
        times.sort(function (a, b) { return a - b; });
        var median = times[4];
        chart.setAttribute('data-redraw-ms', median.toFixed(2));
        expect(median < 100, 'median redraw ' + median.toFixed(1) + ' ms, over 100 ms');
        return 'median ' + median.toFixed(1) + ' ms, longest ' + times[8].toFixed(1) + ' ms';
      });
      var line = stickLine[strongestStick];
      step('assign', function () {
        zoom(head - half, head + half);
        var pair = assign(head, line);
        var rows = document.querySelectorAll('#assignments tbody tr');
        expect(rows.length === 1, rows.length + ' assignment rows');
        var shown = rows[0].querySelector('.obs-minus-calc').textContent;
        expect(shown === fixed(pair.observed - lines[line].wavenumber, 5),
               'the row shows obs − calc ' + shown);
        expect(velk.assignments().length === 1, 'assignments() holds ' + velk.assignments().length);
        return lineName(lines[line]) + ' ' + bandName(lines[line]) + ' obs ' + pair.observed +
          ' calc ' + pair.calculated + ' obs-calc ' + pair.obs_minus_calc;
      });
      step('hover', function () {
        var rect = chart.getBoundingClientRect();
        var px = rect.left + g.toDomXCoord(head);
        var py = rect.top + g.toDomYCoord(stickHeight[strongestStick] / 2, 0);
        chart.dispatchEvent(new MouseEvent('mousemove', { clientX: px, clientY: py, bubbles: true }));
        expect(card.style.display === 'block', 'no card over the strongest stick');
        expect(card.textContent.indexOf(lineName(lines[line])) === 0, 'the card reads ' + card.textContent);
        chart.dispatchEvent(new MouseEvent('mouseleave', { clientX: px, clientY: py }));
        return JSON.stringify(card.textContent.split('\n')[0]);
      });
      step('click-pair', function () {
        removePair(line);
        var rect = chart.getBoundingClientRect();
        var onStick = { clientY: rect.top + g.toDomYCoord(stickHeight[strongestStick] / 2, 0) };
        pickAt(onStick, head);
        expect(pending && pending.kind === 'stick' && pending.line === line, 'the first click chose ' +
          JSON.stringify(pending));
        var peak = observedPeakNear(head);
        var peakY = observed ? g.toDomYCoord(observed.y[lowerBound(observed.x, peak)], 1) : 0;
        pickAt({ clientY: rect.top + peakY }, head);
        var made = velk.assignments();
        expect(made.length === 1 && made[0].line === line && made[0].observed === peak,
               'the clicks made ' + JSON.stringify(made));
        return 'obs-calc ' + made[0].obs_minus_calc;
      });
      step('save', function () {
        var text = assignmentsCsv();
        var rows = text.trim().split('\n');
        expect(rows[0] === DATA_COLUMNS, 'the header is ' + rows[0]);
        expect(rows.length === 2 && rows[1].split(',').length === 12, 'the rows are ' + rows.slice(1));
        var href = offerDownload().href;
        expect(href.indexOf('blob:') === 0, 'the download link is ' + href);
        document.getElementById('saved-csv').textContent = text;
        return rows.length - 1 + ' row';
      });
      step('remove', function () {
        removePair(line);
        expect(document.querySelectorAll('#assignments tbody tr').length === 0, 'the row stayed');
        assign(head, line);
      });
      reset();
    });
  }

  if (window.location.hash === '#selftest') selftest();
})();
