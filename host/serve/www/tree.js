// A window's tree: its items as nested rows (indent by depth, a class per
// image kind "img-N"). Click selects, double-click or F2 edits the label in
// place, Up and Down move the selection, and an item dragged onto another
// is dropped there; the frame decides what each means.

import { el, pointer } from './dom.js';
import { actions } from './wire.js';

export class TreeView {
  // host: {send(text)}
  constructor(tree, host) {
    this.host = host;
    this.nodes = [];
    this.list = el('ul', { class: 'tree', role: 'tree', 'aria-label': tree.label || tree.name || 'Tree' });
    this.element = el('div', { class: 'tree-box' },
      tree.label ? el('div', { class: 'tree-label', text: tree.label }) : null, this.list);
    this.list.addEventListener('keydown', (ev) => this.onKey(ev));
  }

  update(tree) {
    this.nodes = tree.nodes || [];
    this.enabled = tree.enabled !== false;
    const focused = this.list.contains(document.activeElement);
    const rows = this.nodes.map((n, k) => this.row(n, k + 1));
    // The click that began a double-click selects the item, and the frame's
    // redraw answering it comes while the label is being typed: the open
    // edit moves into the redrawn item rather than being lost with the old one.
    const e = this.editing;
    const keep = e && rows[e.number - 1] && this.nodes[e.number - 1].label === e.label;
    this.redrawing = true;
    this.list.replaceChildren(...rows);
    if (!rows.length) this.list.append(el('li', { class: 'tree-empty', text: '(no items)' }));
    if (keep) {
      e.li = rows[e.number - 1];
      e.text = e.li.querySelector('.tree-text');
      e.text.replaceWith(e.input);
      e.input.focus();
    } else {
      this.editing = null;
    }
    this.redrawing = false;
    if (keep) return;
    const sel = this.nodes.findIndex((n) => n.selected);
    const target = rows[sel >= 0 ? sel : 0];
    if (target) target.tabIndex = 0;
    if (focused && target) target.focus();
  }

  row(n, number) {
    const li = el('li', {
      role: 'treeitem', tabIndex: -1, draggable: this.enabled,
      class: `tree-node img-${Number(n.image) || 0} depth-${Math.min(Number(n.depth) || 0, 12)}${n.selected ? ' selected' : ''}`,
      'aria-level': String((Number(n.depth) || 0) + 1), 'aria-selected': n.selected ? 'true' : 'false',
      dataset: { node: String(number) },
    }, el('span', { class: 'tree-icon', 'aria-hidden': 'true', text: n.collapsed ? '+' : '' }),
       el('span', { class: 'tree-text', text: n.label }));
    if (n.collapsed) li.setAttribute('aria-expanded', 'false');
    li.style.paddingLeft = `${(Number(n.depth) || 0) * 1.25 + 0.25}em`;
    if (!this.enabled) return li;
    li.addEventListener('click', () => this.host.send(actions.node(number)));
    li.addEventListener('dblclick', () => this.edit(li, number, n.label));
    li.addEventListener('dragstart', (ev) => {
      ev.dataTransfer.setData('text/plain', String(number));
      ev.dataTransfer.effectAllowed = 'copyMove';
      this.dragging = number;
    });
    li.addEventListener('dragend', () => { this.dragging = null; });
    li.addEventListener('dragover', (ev) => {
      if (this.dragging && this.dragging !== number) {
        ev.preventDefault();
        li.classList.add('drop-target');
      }
    });
    li.addEventListener('dragleave', () => li.classList.remove('drop-target'));
    li.addEventListener('drop', (ev) => {
      ev.preventDefault();
      li.classList.remove('drop-target');
      const from = Number(ev.dataTransfer.getData('text/plain')) || this.dragging;
      this.dragging = null;
      if (!from || from === number) return;
      pointer.x = ev.clientX;
      pointer.y = ev.clientY;
      this.host.send(actions.drag(from, number));
    });
    return li;
  }

  // The label in an input: Enter sends it, Escape or leaving drops it.
  edit(li, number, label) {
    if (this.editing) return;
    const input = el('input', { type: 'text', class: 'tree-edit', value: label, 'aria-label': 'Label' });
    const e = { number, label, input, li, text: li.querySelector('.tree-text') };
    this.editing = e;
    const finish = (send) => {
      if (this.editing !== e) return;
      this.editing = null;
      input.replaceWith(e.text);
      if (send && input.value !== label) this.host.send(actions.rename(number, input.value));
      e.li.focus();
    };
    input.addEventListener('keydown', (ev) => {
      if (ev.key === 'Enter' || ev.key === 'Escape') {
        ev.preventDefault();
        ev.stopPropagation();
        finish(ev.key === 'Enter');
      }
    });
    input.addEventListener('blur', () => { if (!this.redrawing) finish(false); });
    input.addEventListener('click', (ev) => ev.stopPropagation());
    input.addEventListener('dblclick', (ev) => ev.stopPropagation());
    e.text.replaceWith(input);
    input.focus();
    input.select();
  }

  onKey(ev) {
    const li = ev.target.closest && ev.target.closest('.tree-node');
    if (!li || ev.target.tagName === 'INPUT' || !this.enabled) return;
    const number = Number(li.dataset.node);
    if (ev.key === 'ArrowDown' || ev.key === 'ArrowUp') {
      ev.preventDefault();
      const next = number + (ev.key === 'ArrowDown' ? 1 : -1);
      if (next >= 1 && next <= this.nodes.length) this.host.send(actions.node(next));
    } else if (ev.key === 'F2') {
      ev.preventDefault();
      this.edit(li, number, this.nodes[number - 1].label);
    } else if (ev.key === 'ContextMenu' || (ev.key === 'F10' && ev.shiftKey)) {
      const r = li.getBoundingClientRect();
      pointer.x = r.left + 16;
      pointer.y = r.bottom;
    }
  }
}
