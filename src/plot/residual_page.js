// The interactive residual page of velk-plot residuals --html.
//
// dygraphs owns the axes, the zoom by dragging, the pan and the reset; it is given the two
// corners of the full view only, and the levels and the points are drawn by the plotter of this
// file, so that points of one J (several lines share a lower J) need no rows of their own and
// each keeps the colour of its group in residuals.svg.
(function () {
  'use strict';

  var ZERO_COLOUR = '#555555';
  var UNCERTAINTY_COLOUR = '#888888';
  var OUTLIER_COLOUR = '#d62728';
  // A pointer this close to a dot, in pixels, reads it.
  var PICK_PIXELS = 6;
  var RADIUS = 3.5, OUTLIER_RADIUS = 4.5;

  var data = JSON.parse(document.getElementById('velk-data').textContent);
  var points = data.points;
  var groups = data.groups;
  var limit = data.outlier_limit;
  var count = points.length;

  var lowJ = Infinity, highJ = -Infinity, largest = 0, squares = 0, outliers = 0;
  var groupCounts = groups.map(function () { return 0; });
  points.forEach(function (point) {
    if (point.J < lowJ) lowJ = point.J;
    if (point.J > highJ) highJ = point.J;
    var size = Math.abs(point.normalised);
    if (size > largest) largest = size;
    squares += point.normalised * point.normalised;
    if (size > limit) ++outliers;
    ++groupCounts[point.group];
  });
  // As residuals.svg: the outlier levels stay in view, a worse fit widens the axis.
  var yExtent = Math.max(limit + 1, 1.08 * largest);
  var fullLo = lowJ - 1, fullHi = highJ + 1;

  document.getElementById('summary').textContent = count + (count === 1 ? ' line' : ' lines') +
    ', root mean square of (obs − calc)/uncertainty ' +
    (count > 0 ? Math.sqrt(squares / count).toFixed(3) : '—') + ', ' + outliers + ' beyond ±' + limit;

  var legend = document.getElementById('legend');
  function legendEntry(marker, text) {
    var item = document.createElement('li');
    item.appendChild(marker);
    item.appendChild(document.createTextNode(text));
    item.title = text;
    legend.appendChild(item);
    return item;
  }
  groups.forEach(function (group, k) {
    var swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = group.colour;
    legendEntry(swatch, group.label + ' (' + groupCounts[k] +
      (groupCounts[k] === 1 ? ' line)' : ' lines)')).setAttribute('data-group', String(k));
  });
  [['dashed', UNCERTAINTY_COLOUR, '±1: the stated uncertainty'],
    ['dotted', OUTLIER_COLOUR, '±' + limit + ': outlier limit (' + outliers +
      (outliers === 1 ? ' outlier, ringed)' : ' outliers, ringed)')]].forEach(function (entry) {
    var level = document.createElement('span');
    level.className = 'level';
    level.style.borderTopStyle = entry[0];
    level.style.borderTopColor = entry[1];
    legendEntry(level, entry[2]);
  });

  var drawn = { points: 0, levels: 0 };

  function horizontal(ctx, area, y, colour, dash, width) {
    ctx.beginPath();
    ctx.strokeStyle = colour;
    ctx.lineWidth = width;
    ctx.setLineDash(dash);
    ctx.moveTo(area.x, y);
    ctx.lineTo(area.x + area.w, y);
    ctx.stroke();
    ++drawn.levels;
  }

  function drawResiduals(e) {
    var g = e.dygraph, area = e.plotArea, ctx = e.drawingContext;
    ctx.save();
    ctx.beginPath();
    ctx.rect(area.x, area.y, area.w, area.h);
    ctx.clip();
    drawn.levels = 0;
    horizontal(ctx, area, g.toDomYCoord(0), ZERO_COLOUR, [], 1);
    [-1, 1].forEach(function (level) {
      horizontal(ctx, area, g.toDomYCoord(level), UNCERTAINTY_COLOUR, [6, 3], 1);
    });
    [-limit, limit].forEach(function (level) {
      horizontal(ctx, area, g.toDomYCoord(level), OUTLIER_COLOUR, [2, 3], 1.2);
    });
    ctx.setLineDash([]);
    var xr = g.xAxisRange(), yr = g.yAxisRange();
    drawn.points = 0;
    for (var i = 0; i < count; ++i) {
      var point = points[i];
      if (point.J < xr[0] || point.J > xr[1] || point.normalised < yr[0] || point.normalised > yr[1])
        continue;
      var outlier = Math.abs(point.normalised) > limit;
      ctx.beginPath();
      ctx.arc(g.toDomXCoord(point.J), g.toDomYCoord(point.normalised),
        outlier ? OUTLIER_RADIUS : RADIUS, 0, 2 * Math.PI);
      ctx.fillStyle = groups[point.group].colour;
      ctx.fill();
      ctx.lineWidth = outlier ? 1.2 : 0.5;
      ctx.strokeStyle = outlier ? 'black' : groups[point.group].colour;
      ctx.stroke();
      ++drawn.points;
    }
    ctx.restore();
  }

  var chart = document.getElementById('chart');
  var card = document.getElementById('card');
  var g = new Dygraph(chart, [[fullLo, -yExtent], [fullHi, yExtent]], {
    labels: ['J', 'normalised'],
    legend: 'never',
    dateWindow: [fullLo, fullHi],
    valueRange: [-yExtent, yExtent],
    xlabel: data.x_label,
    ylabel: '(obs − calc) / uncertainty',
    series: { normalised: { plotter: drawResiduals } },
    axes: { x: { axisLabelFormatter: function (x) { return String(Math.round(x * 1e6) / 1e6); } } },
    showLabelsOnHighlight: false
  });

  function setView(lo, hi, bottom, top) {
    var options = { dateWindow: [lo, hi] };
    if (bottom !== undefined) options.valueRange = [bottom, top];
    g.updateOptions(options);
  }
  function reset() { setView(fullLo, fullHi, -yExtent, yExtent); }
  // Dragging up or down zooms the residual axis, which a double click would not otherwise undo.
  chart.addEventListener('dblclick', reset);

  // The dot under a pointer at pixel (px, py) of the chart: the nearest within PICK_PIXELS, or -1.
  function pointNear(px, py) {
    var best = -1, bestDistance = PICK_PIXELS * PICK_PIXELS;
    for (var i = 0; i < count; ++i) {
      var dx = g.toDomXCoord(points[i].J) - px, dy = g.toDomYCoord(points[i].normalised) - py;
      var distance = dx * dx + dy * dy;
      if (distance <= bestDistance) { best = i; bestDistance = distance; }
    }
    return best;
  }

  function withParity(text, mark, parity) { return parity === '' ? text : text + ' p' + mark + '=' + parity; }

  function assignment(point) {
    var upper = withParity(point.upper_state + ' v′=' + point.upper_v + ' J′=' + point.upper_J, '′',
      point.upper_p);
    if (point.lower_state === '-') return upper + ' (term value)';
    return upper + ' – ' + withParity(point.lower_state + ' v″=' + point.lower_v + ' J″=' +
      point.lower_J, '″', point.lower_p);
  }

  function cardText(point) {
    return assignment(point) + (point.series === '' ? '' : '   series ' + point.series) +
      '\nobs = ' + point.obs + ' cm-1   calc = ' + point.calc + ' cm-1' +
      '\nobs − calc = ' + point.obs_minus_calc + ' cm-1   uncertainty = ' + point.uncertainty + ' cm-1' +
      '\nnormalised = ' + point.normalised +
      (Math.abs(point.normalised) > limit ? '  (outlier)' : '') +
      '\n' + groups[point.group].label + ', line ' + point.line + ' of ' + data.file;
  }

  chart.addEventListener('mousemove', function (event) {
    var rect = chart.getBoundingClientRect();
    var found = pointNear(event.clientX - rect.left, event.clientY - rect.top);
    if (found < 0) { card.style.display = 'none'; return; }
    card.textContent = cardText(points[found]);
    card.style.borderColor = groups[points[found].group].colour;
    card.style.left = (event.pageX + 14) + 'px';
    card.style.top = (event.pageY + 14) + 'px';
    card.style.display = 'block';
    card.setAttribute('data-point', String(found));
  });
  chart.addEventListener('mouseleave', function () { card.style.display = 'none'; });

  velkPage.wheelZoom(chart, g, [fullLo, fullHi], setView);

  document.getElementById('reset').addEventListener('click', reset);

  function zoom(lo, hi) {
    return velkPage.timed(function () { setView(lo, hi); });
  }

  window.velk = {
    points: points,
    groups: groups,
    zoom: zoom,
    reset: reset,
    range: function () { return g.xAxisRange().slice(); },
    drawn: drawn,
    graph: g
  };

  // A user's steps, as the page's self-test runs them.
  function selftest() {
    velkPage.selfTest(function (step, expect) {
      step('load', function () {
        expect(typeof Dygraph === 'function', 'the charting library is not there');
        expect(count > 0, 'no point');
        return count + ' points in ' + groups.length + ' groups';
      });
      step('draw', function () {
        reset();
        expect(drawn.points === count, drawn.points + ' of ' + count + ' points drawn');
        expect(drawn.levels === 5, drawn.levels + ' levels drawn');
        var seen = velkPage.canvasColours(chart.querySelector('canvas'), 50);
        expect(seen >= 3, 'the plot canvas holds ' + seen + ' colours');
        chart.setAttribute('data-points-drawn', String(drawn.points));
        return drawn.points + ' points, ' + seen + '+ colours';
      });
      // A window of three J around the middle point's: what a user does to read a crowded J.
      var sorted = points.map(function (point) { return point.J; }).sort(function (a, b) { return a - b; });
      var middle = sorted[sorted.length >> 1];
      step('zoom', function () {
        var lo = middle - 1.5, hi = middle + 1.5;
        zoom(lo, hi);
        var r = g.xAxisRange();
        expect(Math.abs(r[0] - lo) < 1e-9 && Math.abs(r[1] - hi) < 1e-9, 'the view is ' + r[0] + '..' + r[1]);
        var inside = sorted.filter(function (J) { return J >= lo && J <= hi; }).length;
        expect(drawn.points === inside, drawn.points + ' points drawn, ' + inside + ' in the view');
        expect(inside < count || (sorted[0] >= lo && sorted[count - 1] <= hi),
          'the zoom left every point in view');
        chart.setAttribute('data-view', r[0] + ' ' + r[1]);
        return 'J ' + lo + '..' + hi + ', ' + drawn.points + ' of ' + count + ' points';
      });
      step('hover', function () {
        var k = 0;
        while (k < count && Math.abs(points[k].J - middle) > 1.5) ++k;
        var point = points[k];
        var rect = chart.getBoundingClientRect();
        var px = rect.left + g.toDomXCoord(point.J), py = rect.top + g.toDomYCoord(point.normalised);
        chart.dispatchEvent(new MouseEvent('mousemove', { clientX: px, clientY: py, bubbles: true }));
        expect(card.style.display === 'block', 'no card over point ' + k);
        var shown = points[Number(card.getAttribute('data-point'))];
        expect(shown.J === point.J && shown.normalised === point.normalised,
          'the card is of a point elsewhere: ' + card.textContent);
        expect(card.textContent.indexOf(assignment(shown)) === 0 &&
          card.textContent.indexOf('obs − calc = ' + shown.obs_minus_calc) > 0,
          'the card reads ' + card.textContent);
        chart.dispatchEvent(new MouseEvent('mouseleave', { clientX: px, clientY: py }));
        return JSON.stringify(card.textContent.split('\n')[0]);
      });
      reset();
    });
  }

  if (window.location.hash === '#selftest') selftest();
})();
