'use strict'

// The module's pieces that the program cannot show wrong on its own: what is refused before it
// is sent, the wording of the schedule, where over-time and a bell begin, the settings read.

const assert = require('node:assert/strict')
const { it } = require('node:test')
const { Backoff } = require('../src/backoff')
const { commandFrame } = require('../src/commands')
const { readConfig } = require('../src/definitions')
const { CONDITIONS, UNREACHED_STYLE, bellPassed, displayStyle, scheduleInWords } = require('../src/state')

it('refuses a command here as the program would, and fits the longest message in 1024 bytes', () => {
	const refused = [
		['adjust', 601, /by is a whole number from -600 to 600/],
		['adjust', 1.5, /whole number/],
		['adjust', '', /whole number/],
		['goto', 0, /n is a whole number from 1 to 200/],
		['message-saved', 20, /i is a whole number from 0 to 19/],
		['mask', 2, /on is a whole number from 0 to 1/],
		['message', 'x'.repeat(81), /at most 80 characters/],
		['launch', undefined, /no such command/],
	]
	for (const [name, value, reason] of refused) assert.throws(() => commandFrame(name, value, 1), reason, `${name} ${value}`)
	// Characters are counted as the program counts them, in code points.
	for (const character of ['😀', '\u0001', '"']) {
		const frame = commandFrame('message', character.repeat(80), Number.MAX_SAFE_INTEGER)
		assert.ok(Buffer.byteLength(frame) <= 1024, `${JSON.stringify(character)}: ${Buffer.byteLength(frame)} bytes`)
	}
})

it('words the schedule as the program does, in whole minutes towards zero', () => {
	const rows = [[0, '予定どおり'], [59, '予定どおり'], [-59, '予定どおり'], [60, '予定より 1分 遅れ'], [119, '予定より 1分 遅れ'],
		[-180, '予定より 3分 早い'], [-239, '予定より 3分 早い']]
	for (const [seconds, words] of rows) assert.equal(scheduleInWords(seconds), words, String(seconds))
})

it('lights over-time past zero (when the program says 超過中), and a bell from its number on', () => {
	const lit = (state) => Object.keys(CONDITIONS).filter((id) => CONDITIONS[id](state))
	assert.deepEqual(lit({ state: 'running', remaining: 0 }), ['running'])
	assert.deepEqual(lit({ state: 'running', remaining: -1, message: '' }), ['running', 'over_time'])
	assert.deepEqual(lit({ state: 'paused', remaining: -30, message: 'x' }), ['paused', 'over_time', 'message_shown'])
	const bells = [[0, 1, false], [1, 1, true], [3, 2, true], [1, 2, false], [undefined, 1, false]]
	for (const [last, number, passed] of bells) assert.equal(bellPassed({ bell: last }, number), passed, `${last} ${number}`)
	assert.deepEqual(displayStyle({ background: '#FF0000', foreground: 'green' }), { bgcolor: 0xff0000 })
	assert.deepEqual(displayStyle(null), UNREACHED_STYLE)
})

it('takes the connection from the fields, or from a pasted control address', () => {
	const rows = [
		[{ host: ' 10.1.2.3 ', port: 8760, token: ' abc ' }, { host: '10.1.2.3', port: 8760, token: 'abc' }],
		[{ host: 'h', port: 8760, token: 'http://192.0.2.7:9000/control?t=Xy_-9' }, { host: '192.0.2.7', port: 9000, token: 'Xy_-9' }],
		[{ host: 'h', port: 1, token: 'http://[::1]/control?t=T' }, { host: '::1', port: 1, token: 'T' }],
	]
	for (const [config, settings] of rows) assert.deepEqual(readConfig(config).settings, settings, JSON.stringify(config))
	const problems = [
		[{ host: '', port: 8760, token: 'a' }, /no host/],
		[{ host: 'h', port: 8760.5, token: 'a' }, /port/],
		[{ host: 'h', port: 8760, token: 'http://h:1/control' }, /no control token/],
		[{ host: 'h', port: 8760, token: 'a b' }, /space/],
	]
	for (const [config, problem] of problems) assert.match(readConfig(config).problem ?? '', problem, JSON.stringify(config))
})

it('waits 0.5 s after a failure, doubling to 10 s, and from 0.5 s again once connected', () => {
	const backoff = new Backoff()
	assert.deepEqual(Array.from({ length: 7 }, () => backoff.next()), [500, 1000, 2000, 4000, 8000, 10000, 10000])
	backoff.reset()
	assert.equal(backoff.next(), 500)
})
