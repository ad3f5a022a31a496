// The frame's menu bar: popups of items with their key letters and keys,
// driven by mouse and keyboard as a desktop menu bar is. Choosing an item
// calls onCommand(number); the bar never acts by itself.

import { el, marked } from './dom.js';
import { mnemonic, normalKey } from './wire.js';

export class MenuBar {
  constructor(nav, { onCommand }) {
    this.nav = nav;
    this.onCommand = onCommand;
    this.popups = [];      // [{data, top, list, items: [{data, node}]}]
    this.json = '';
    this.open = -1;        // index of the open popup, -1 none
    this.returnFocus = null;
    nav.addEventListener('keydown', (ev) => this.onKey(ev));
    document.addEventListener('mousedown', (ev) => {
      if (this.open >= 0 && !this.nav.contains(ev.target)) this.close(false);
    });
    nav.addEventListener('focusout', (ev) => {
      if (this.open >= 0 && ev.relatedTarget && !this.nav.contains(ev.relatedTarget)) this.close(false);
    });
  }

  // Draws `menu` (the screen's POPUP list); keeps an open popup open.
  update(menu) {
    const json = JSON.stringify(menu || []);
    if (json === this.json) return;
    this.json = json;
    const wasOpen = this.open;
    const focused = this.popups[wasOpen]?.items.findIndex((i) => i.node === document.activeElement) ?? -1;
    this.open = -1;
    this.popups = (menu || []).map((p, pi) => this.buildPopup(p, pi));
    this.nav.replaceChildren(...this.popups.map((p) => p.wrap));
    if (this.popups.length) this.popups[0].top.tabIndex = 0;
    if (wasOpen >= 0 && wasOpen < this.popups.length) this.show(wasOpen, focused >= 0 ? focused : null);
  }

  buildPopup(p, pi) {
    const popup = { data: p, items: [] };
    popup.top = el('button', {
      type: 'button', class: 'menu-top', role: 'menuitem', 'aria-haspopup': 'menu',
      'aria-expanded': 'false', tabIndex: -1,
      onclick: () => (this.open === pi ? this.close(true) : this.show(pi, null)),
      onmouseenter: () => { if (this.open >= 0 && this.open !== pi) this.show(pi, null); },
    }, marked(p.text));
    popup.list = el('div', { class: 'menu-popup', role: 'menu', hidden: true,
                             'aria-label': mnemonic(p.text).text });
    for (const item of p.items || []) {
      if (item.separator) {
        popup.list.append(el('div', { class: 'menu-sep', role: 'separator' }));
        continue;
      }
      const node = el('div', {
        class: 'menu-item', role: 'menuitem', tabIndex: -1,
        'aria-disabled': item.enabled ? null : 'true',
        onclick: () => this.choose(item),
        onmouseenter: () => node.focus({ preventScroll: true }),
      }, el('span', { class: 'menu-label' }, marked(item.text)),
         el('span', { class: 'menu-keys', text: item.keys || '' }));
      popup.items.push({ data: item, node });
      popup.list.append(node);
    }
    popup.wrap = el('div', { class: 'menu-wrap', role: 'none' }, popup.top, popup.list);
    return popup;
  }

  // Opens popup `pi`; focuses its item `focus` (null: the popup's button).
  show(pi, focus) {
    if (this.open < 0 && !this.nav.contains(document.activeElement)) this.returnFocus = document.activeElement;
    if (this.open >= 0 && this.open !== pi) this.hide(this.open);
    const p = this.popups[pi];
    this.open = pi;
    p.list.hidden = false;
    // A popup near the right edge opens leftwards, inside the window.
    p.list.classList.remove('to-left');
    if (p.list.getBoundingClientRect().right > document.documentElement.clientWidth) p.list.classList.add('to-left');
    p.top.setAttribute('aria-expanded', 'true');
    p.top.classList.add('open');
    for (const q of this.popups) q.top.tabIndex = q === p ? 0 : -1;
    if (focus === null) p.top.focus();
    else if (p.items[focus]) p.items[focus].node.focus();
  }

  hide(pi) {
    const p = this.popups[pi];
    if (!p) return;
    p.list.hidden = true;
    p.top.setAttribute('aria-expanded', 'false');
    p.top.classList.remove('open');
  }

  close(restore) {
    if (this.open >= 0) this.hide(this.open);
    this.open = -1;
    const back = this.returnFocus;
    this.returnFocus = null;
    if (restore && back && back.isConnected) back.focus();
  }

  isOpen() { return this.open >= 0; }

  choose(item) {
    if (!item.enabled) return;
    this.close(true);
    this.onCommand(item.command);
  }

  // Alt+letter: opens the popup with that key letter. False when none has it.
  openByLetter(letter) {
    const pi = this.popups.findIndex((p) => mnemonic(p.data.text).letter === letter);
    if (pi < 0) return false;
    this.show(pi, this.firstEnabled(pi, 0, 1));
    return true;
  }

  firstEnabled(pi, from, step) {
    const items = this.popups[pi].items;
    for (let k = 0; k < items.length; ++k) {
      const i = (((from + k * step) % items.length) + items.length) % items.length;
      if (items[i].data.enabled) return i;
    }
    return items.length ? 0 : null;
  }

  // The keys the menu lists: normalKey -> item.
  keyMap() {
    const map = new Map();
    for (const p of this.popups)
      for (const i of p.items) if (i.data.keys) map.set(normalKey(i.data.keys), i.data);
    return map;
  }

  onKey(ev) {
    const n = this.popups.length;
    if (!n) return;
    const topIndex = this.popups.findIndex((p) => p.top === ev.target);
    const pi = topIndex >= 0 ? topIndex : this.open;
    if (pi < 0) return;
    const items = this.popups[pi].items;
    const at = items.findIndex((i) => i.node === ev.target);
    const move = (step) => {
      const next = (pi + step + n) % n;
      if (this.open >= 0) this.show(next, topIndex >= 0 ? null : this.firstEnabled(next, 0, 1));
      else this.popups[next].top.focus();
      for (const q of this.popups) q.top.tabIndex = q === this.popups[next] ? 0 : -1;
    };
    let handled = true;
    switch (ev.key) {
      case 'ArrowLeft': move(-1); break;
      case 'ArrowRight': move(1); break;
      case 'ArrowDown':
        if (at < 0) this.show(pi, this.firstEnabled(pi, 0, 1));
        else this.show(pi, this.firstEnabled(pi, at + 1, 1));
        break;
      case 'ArrowUp':
        if (at < 0) this.show(pi, this.firstEnabled(pi, items.length - 1, -1));
        else this.show(pi, this.firstEnabled(pi, at - 1, -1));
        break;
      case 'Home': if (at >= 0) this.show(pi, this.firstEnabled(pi, 0, 1)); break;
      case 'End': if (at >= 0) this.show(pi, this.firstEnabled(pi, items.length - 1, -1)); break;
      case 'Enter':
      case ' ':
        if (at >= 0) this.choose(items[at].data);
        else this.show(pi, this.firstEnabled(pi, 0, 1));
        break;
      case 'Escape': this.close(true); break;
      case 'Tab': this.close(false); handled = false; break;
      default: {
        handled = false;
        if (at < 0 || ev.ctrlKey || ev.altKey || ev.key.length !== 1) break;
        const hit = items.find((i) => mnemonic(i.data.text).letter === ev.key.toLowerCase());
        if (hit) {
          handled = true;
          this.choose(hit.data);
        }
      }
    }
    if (handled) {
      ev.preventDefault();
      ev.stopPropagation();
    }
  }
}
