// Charts of a window's list, drawn as SVG under the list. A window is
// charted when its kind (the definition the server names, "lister
// acq_budget_status") is one of CHARTS; the chart shows, per row, one bar
// for each charted column, scaled to the largest value shown. The bars are
// a picture of the figures in the list, not arithmetic on money: the list
// and its totals stay the exact figures.

const SVG = 'http://www.w3.org/2000/svg';

// kind -> the heading that labels a row and the headings of the bars.
const CHARTS = {
  'lister acq_budget_status': {
    label: 'Budget',
    bars: [
      { heading: 'Amount', colour: '#4a78b5' },
      { heading: 'On Order', colour: '#e0a030' },
      { heading: 'Spent', colour: '#c0504d' },
    ],
  },
};

const MAX_ROWS = 40;      // rows charted (the first ones listed)
const ROW_HEIGHT = 22;    // px per row: three bars of 6 and a gap
const LABEL_WIDTH = 130;
const BAR_WIDTH = 420;
const LEGEND_HEIGHT = 20;

function svg(tag, attrs, ...children) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, String(v));
  for (const c of children) e.append(c);
  return e;
}

// "12,000.00", "-5.00", "$1,000.00" as a number for drawing only.
function figure(text) {
  const n = Number(String(text || '').replace(/[^0-9.-]/g, ''));
  return Number.isFinite(n) ? n : 0;
}

function draw(chart, headings, rows) {
  const labelAt = headings.indexOf(chart.label);
  const columns = chart.bars.map((b) => headings.indexOf(b.heading));
  if (labelAt < 0 || columns.some((c) => c < 0)) return null;
  const shown = rows.slice(0, MAX_ROWS);
  let largest = 0;
  for (const r of shown) for (const c of columns) largest = Math.max(largest, Math.abs(figure(r.cells[c])));
  const height = LEGEND_HEIGHT + shown.length * ROW_HEIGHT + 4;
  const root = svg('svg', {
    class: 'chart', role: 'img', width: LABEL_WIDTH + BAR_WIDTH + 10, height,
    viewBox: `0 0 ${LABEL_WIDTH + BAR_WIDTH + 10} ${height}`,
    'aria-label': `${chart.bars.map((b) => b.heading).join(', ')} per ${chart.label}`,
  });
  chart.bars.forEach((b, k) => {
    root.append(svg('rect', { x: LABEL_WIDTH + k * 110, y: 4, width: 10, height: 10, fill: b.colour }),
                svg('text', { x: LABEL_WIDTH + k * 110 + 14, y: 13, 'font-size': 11 }, b.heading));
  });
  shown.forEach((r, n) => {
    const top = LEGEND_HEIGHT + n * ROW_HEIGHT;
    root.append(svg('text', { x: 0, y: top + 13, 'font-size': 11 }, String(r.cells[labelAt] || '')));
    columns.forEach((c, k) => {
      const value = figure(r.cells[c]);
      const width = largest > 0 ? Math.round((Math.abs(value) / largest) * BAR_WIDTH) : 0;
      const bar = svg('rect', { x: LABEL_WIDTH, y: top + 2 + k * 6, width, height: 5,
                                fill: chart.bars[k].colour });
      bar.append(svg('title', {}, `${chart.bars[k].heading}: ${r.cells[c]}`));
      root.append(bar);
    });
  });
  return root;
}

// Draws (or removes) the chart of `view` (a WindowView) for window `win`
// as the server sent it.
export function updateChart(view, win) {
  const chart = CHARTS[String(win.kind || '').split(',')[0]];
  let box = view.element.querySelector(':scope > .chart-box');
  if (!chart) {
    if (box) box.remove();
    return;
  }
  const picture = draw(chart, win.headings || [], win.rows || []);
  if (!box) {
    box = document.createElement('div');
    box.className = 'chart-box';
    view.element.insertBefore(box, view.buttons);
  }
  box.replaceChildren(...(picture ? [picture] : []));
  box.hidden = !picture;
}
