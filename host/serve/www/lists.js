// A window's list as a table: headings that sort, a row of search inputs,
// rows that select with click, shift-click and ctrl-click or the arrow keys,
// marks, and (in a grid) cells typed into in place. Rows kept from one
// screen to the next are reused, so a list of thousands of rows is drawn
// once and afterwards only its selection changes.

import { el, uid } from './dom.js';
import { actions } from './wire.js';

export class ListView {
  // opts: title ("" none), interactive (rows select), lister (search row,
  // sorting, double-click opens), grid (cells typed into), host: {send(text),
  // enter()}.
  constructor(opts) {
    this.opts = opts;
    this.id = uid('list');
    this.headings = [];
    this.searchable = [];
    this.hk = null;       // the headings as drawn (JSON)
    this.trs = [];        // row elements in order; tr._key = the cells as JSON
    this.rows = [];
    this.sel = new Set(); // selected rows (0-based) as shown
    this.localDirty = false;
    this.anchor = -1;
    this.cursor = -1;
    this.sort = null;     // {heading, desc}
    this.search = new Map();   // heading -> value typed
    this.editing = null;  // {tr, col, input}

    this.thead = el('thead');
    this.tbody = el('tbody');
    this.empty = el('div', { class: 'list-empty', hidden: true, text: 'No rows' });
    this.table = el('table', {
      class: 'list', role: 'grid', id: this.id,
      'aria-multiselectable': opts.interactive ? 'true' : null,
      'aria-readonly': opts.grid ? null : 'true',
      'aria-label': opts.title || opts.label || 'List',
      tabIndex: opts.interactive ? 0 : -1,
      dataset: { fkey: `list:${opts.index}` },
    }, this.thead, this.tbody);
    this.scroller = el('div', { class: 'list-scroll' }, this.table, this.empty);
    this.element = el('div', { class: 'list-box' },
      opts.title ? el('h3', { class: 'list-title', text: opts.title }) : null,
      this.scroller);
    if (opts.interactive) {
      this.tbody.addEventListener('mousedown', (ev) => { if (ev.shiftKey) ev.preventDefault(); });
      this.tbody.addEventListener('click', (ev) => this.onClick(ev));
      this.tbody.addEventListener('dblclick', (ev) => this.onDoubleClick(ev));
      this.table.addEventListener('keydown', (ev) => this.onKey(ev));
    }
  }

  // `settled`: no action of the page is waiting, so the server's selection
  // is the truth; otherwise a selection the person just made stays shown.
  // `searchable`: which headings a search can use (a lister's; [] all).
  update(headings, rows, settled, searchable = []) {
    const hk = JSON.stringify([headings, searchable]);
    if (hk !== this.hk) {
      this.hk = hk;
      this.headings = headings.slice();
      this.searchable = searchable.slice();
      this.drawHead();
      this.trs = [];
    }
    this.rows = rows;
    const numeric = this.numericColumns(rows);
    if (numeric !== this.numeric) {
      this.numeric = numeric;
      for (const tr of this.trs) this.alignRow(tr);
      if (this.thead.firstChild) this.alignRow(this.thead.firstChild);
    }
    const pool = new Map();
    for (const tr of this.trs) {
      const list = pool.get(tr._key);
      if (list) list.push(tr); else pool.set(tr._key, [tr]);
    }
    const trs = rows.map((r) => {
      const key = JSON.stringify(r.cells);
      const reused = pool.get(key)?.shift();
      return reused || this.drawRow(r.cells, key);
    });
    const same = trs.length === this.trs.length && trs.every((tr, i) => tr === this.trs[i]);
    this.trs = trs;
    if (!same) this.tbody.replaceChildren(...trs);
    if (settled || !this.localDirty) {
      this.sel = new Set();
      rows.forEach((r, i) => { if (r.selected) this.sel.add(i); });
      this.localDirty = false;
    }
    trs.forEach((tr, i) => {
      tr._index = i;
      tr.id = `${this.id}-r${i + 1}`;
      const mark = rows[i].mark || '';
      tr.classList.toggle('deleted', mark === 'deleted');
      tr.classList.toggle('marked', mark === 'marked');
      tr.firstChild.textContent = mark === 'deleted' ? '\u2715' : mark === 'marked' ? '\u2691' : '';
      tr.firstChild.title = mark;
    });
    if (this.cursor >= rows.length) this.cursor = rows.length - 1;
    if (this.cursor < 0 && this.sel.size) this.cursor = Math.min(...this.sel);
    this.paintSelection();
    this.empty.hidden = rows.length > 0;
  }

  drawHead() {
    const o = this.opts;
    const head = el('tr', null, el('th', { class: 'mark-col', scope: 'col', 'aria-label': 'Mark' }));
    for (const h of this.headings) {
      const th = el('th', { scope: 'col' });
      if (o.lister) {
        const arrow = el('span', { class: 'sort-arrow', 'aria-hidden': 'true' });
        th.append(el('button', { type: 'button', class: 'sort', tabIndex: -1,
                                 title: `Sort by ${h}`, onclick: () => this.sortBy(h) }, h, arrow));
      } else {
        th.textContent = h;
      }
      head.append(th);
    }
    this.thead.replaceChildren(head);
    this.numeric = null;
    if (o.lister) {
      const row = el('tr', { class: 'search-row' }, el('th', { class: 'mark-col' }));
      this.headings.forEach((h, k) => {
        if (this.searchable[k] === false) {
          row.append(el('th'));   // the list cannot be searched on this column
          return;
        }
        const input = el('input', {
          type: 'text', class: 'search', placeholder: 'Search', autocomplete: 'off',
          spellcheck: 'false', 'aria-label': `Search ${h}`, value: this.search.get(h) || '',
          dataset: { fkey: `search:${o.index}:${h}` },
        });
        input.addEventListener('input', () => this.search.set(h, input.value));
        input.addEventListener('keydown', (ev) => {
          if (ev.key === 'ArrowDown' && !ev.altKey && !ev.ctrlKey && this.rows.length) {
            // Down from the search row goes to the rows found.
            ev.preventDefault();
            this.table.focus();
            if (this.sel.size === 0) {
              this.cursor = 0;
              this.anchor = 0;
              this.choose(new Set([0]));
            }
            return;
          }
          if (ev.key !== 'Enter' || ev.isComposing || ev.altKey || ev.ctrlKey) return;
          ev.preventDefault();
          ev.stopPropagation();
          this.opts.host.send(actions.search(h, input.value));
        });
        row.append(el('th', null, input));
      });
      this.thead.append(row);
    }
    this.paintSort();
  }

  drawRow(cells, key) {
    const tr = el('tr', { role: 'row' }, el('td', { class: 'mark-col' }));
    for (let c = 0; c < this.headings.length; ++c) tr.append(el('td', { text: cells[c] ?? '' }));
    tr._key = key;
    this.alignRow(tr);
    return tr;
  }

  // Columns of amounts and counts line up on the right: a string of flags,
  // '1' for a column whose cells (the first few hundred) are all numbers.
  numericColumns(rows) {
    const flags = [];
    const sample = rows.slice(0, 300);
    for (let c = 0; c < this.headings.length; ++c) {
      let seen = false;
      const all = sample.every((r) => {
        const v = (r.cells[c] ?? '').trim();
        if (!v) return true;
        seen = true;
        return /^[-+(]?[$\u00A3\u20AC\u00A5]?-?[\d,]*\.?\d+\)?%?( \([A-Z]{3}\))?$/.test(v);
      });
      flags.push(seen && all ? '1' : '0');
    }
    return flags.join('');
  }

  alignRow(tr) {
    const cells = tr.children;
    for (let c = 1; c < cells.length; ++c) cells[c].classList.toggle('num', this.numeric?.[c - 1] === '1');
  }

  sortBy(heading) {
    const desc = this.sort && this.sort.heading === heading ? !this.sort.desc : false;
    this.sort = { heading, desc };
    this.paintSort();
    this.opts.host.send(actions.sort(heading, desc));
  }

  paintSort() {
    const ths = this.thead.firstChild ? [...this.thead.firstChild.children].slice(1) : [];
    ths.forEach((th, c) => {
      const on = this.sort && this.sort.heading === this.headings[c];
      th.setAttribute('aria-sort', on ? (this.sort.desc ? 'descending' : 'ascending') : 'none');
      const arrow = th.querySelector('.sort-arrow');
      if (arrow) arrow.textContent = on ? (this.sort.desc ? ' \u25BC' : ' \u25B2') : '';
    });
  }

  paintSelection() {
    this.trs.forEach((tr, i) => {
      const on = this.sel.has(i);
      tr.classList.toggle('selected', on);
      tr.setAttribute('aria-selected', on ? 'true' : 'false');
      tr.classList.toggle('cursor', i === this.cursor);
    });
    if (this.cursor >= 0 && this.trs[this.cursor]) {
      this.table.setAttribute('aria-activedescendant', this.trs[this.cursor].id);
    } else {
      this.table.removeAttribute('aria-activedescendant');
    }
  }

  // Shows `sel` and tells the frame, unless nothing changed.
  choose(sel) {
    const before = [...this.sel].sort((a, b) => a - b).join(' ');
    const after = [...sel].sort((a, b) => a - b);
    this.sel = new Set(after);
    this.paintSelection();
    if (after.join(' ') === before) return;
    this.localDirty = true;
    this.opts.host.send(actions.select(after.map((i) => i + 1)));
  }

  rowOf(ev) {
    const tr = ev.target.closest('tr');
    return tr && tr.parentNode === this.tbody ? tr : null;
  }

  onClick(ev) {
    const tr = this.rowOf(ev);
    if (!tr || (this.editing && this.editing.tr === tr && ev.target === this.editing.input)) return;
    const i = tr._index;
    let sel;
    if (ev.shiftKey) {
      const from = this.anchor >= 0 ? this.anchor : (this.cursor >= 0 ? this.cursor : i);
      sel = new Set();
      for (let k = Math.min(from, i); k <= Math.max(from, i); ++k) sel.add(k);
    } else if (ev.ctrlKey || ev.metaKey) {
      sel = new Set(this.sel);
      if (sel.has(i)) sel.delete(i); else sel.add(i);
      this.anchor = i;
    } else {
      sel = new Set([i]);
      this.anchor = i;
    }
    this.cursor = i;
    this.choose(sel);
  }

  onDoubleClick(ev) {
    const tr = this.rowOf(ev);
    if (!tr || ev.shiftKey || ev.ctrlKey || ev.metaKey) return;
    this.choose(new Set([tr._index]));
    if (this.opts.grid) {
      const td = ev.target.closest('td');
      const col = td ? [...tr.children].indexOf(td) - 1 : -1;
      if (col >= 0) this.startEdit(tr, col);
    } else {
      this.opts.host.enter();
    }
  }

  startEdit(tr, col) {
    this.stopEdit(false);
    const td = tr.children[col + 1];
    const before = td.textContent;
    const input = el('input', { type: 'text', class: 'cell-input', value: before,
                                autocomplete: 'off', spellcheck: 'false',
                                'aria-label': this.headings[col] });
    this.editing = { tr, col, input, before };
    td.replaceChildren(input);
    input.addEventListener('keydown', (ev) => {
      if (ev.key === 'Enter' && !ev.isComposing) {
        ev.preventDefault(); ev.stopPropagation();
        this.stopEdit(true);
        this.table.focus();
      } else if (ev.key === 'Escape') {
        ev.preventDefault(); ev.stopPropagation();
        this.stopEdit(false);
        this.table.focus();
      } else if (ev.key === 'Tab') {
        this.stopEdit(true);
      }
      ev.stopPropagation();
    });
    input.addEventListener('blur', () => this.stopEdit(true));
    input.addEventListener('click', (ev) => ev.stopPropagation());
    input.addEventListener('dblclick', (ev) => ev.stopPropagation());
    input.focus();
    input.select();
  }

  stopEdit(commit) {
    const e = this.editing;
    if (!e) return;
    this.editing = null;
    const value = e.input.value;
    const td = e.tr.children[e.col + 1];
    if (td) td.textContent = commit ? value : e.before;
    if (commit && value !== e.before) {
      e.tr._key = '\u0000typed';   // redraw from the next screen, whatever it says
      this.opts.host.send(actions.cell(this.headings[e.col], value));
    }
  }

  // Whether a cell is being typed into (the window leaves its keys alone).
  isEditing() { return this.editing !== null; }

  onKey(ev) {
    if (ev.target !== this.table || ev.altKey) return;
    const n = this.rows.length;
    const page = Math.max(1, Math.floor(this.scroller.clientHeight / 28) - 2);
    let to = -1;
    switch (ev.key) {
      case 'ArrowDown': to = Math.min(n - 1, this.cursor + 1); break;
      case 'ArrowUp': to = Math.max(0, this.cursor - 1); break;
      case 'PageDown': if (!ev.ctrlKey) to = Math.min(n - 1, this.cursor + page); break;
      case 'PageUp': if (!ev.ctrlKey) to = Math.max(0, this.cursor - page); break;
      case 'Home': if (!ev.ctrlKey) to = 0; break;
      case 'End': if (!ev.ctrlKey) to = n - 1; break;
      case ' ':
        if (this.cursor >= 0) {
          ev.preventDefault();
          const sel = new Set(this.sel);
          if (sel.has(this.cursor)) sel.delete(this.cursor); else sel.add(this.cursor);
          this.anchor = this.cursor;
          this.choose(sel);
        }
        return;
      case 'F2':
        if (this.opts.grid && this.cursor >= 0 && this.headings.length) {
          ev.preventDefault(); ev.stopPropagation();
          this.choose(new Set([this.cursor]));
          this.startEdit(this.trs[this.cursor], 0);
        }
        return;
      default: return;
    }
    if (n === 0 || to < 0) return;
    ev.preventDefault();
    this.cursor = to;
    let sel;
    if (ev.shiftKey) {
      const from = this.anchor >= 0 ? this.anchor : to;
      sel = new Set();
      for (let k = Math.min(from, to); k <= Math.max(from, to); ++k) sel.add(k);
    } else {
      sel = new Set([to]);
      this.anchor = to;
    }
    this.choose(sel);
    this.trs[to].scrollIntoView({ block: 'nearest' });
  }
}
