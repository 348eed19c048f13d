'use strict'

// The module's protocol pieces without the program: what it sends, how it words and reads what it
// is sent, how long it waits between attempts.

const assert = require('node:assert/strict')
const { describe, it } = require('node:test')
const { Backoff } = require('../src/backoff')
const { commandFrame } = require('../src/commands')
const { readConfig } = require('../src/definitions')
const { CONDITIONS, bellPassed, bellSeconds, displayStyle, readFrame, scheduleInWords, UNREACHED_STYLE } = require('../src/state')

describe('command frames', () => {
	it('carry the argument under its key, within the program\'s ranges', () => {
		const accepted = [
			['start', undefined, { command: 'start', id: 1 }],
			['adjust', -600, { command: 'adjust', by: -600, id: 1 }],
			['adjust', '600', { command: 'adjust', by: 600, id: 1 }],
			['goto', 200, { command: 'goto', n: 200, id: 1 }],
			['message-saved', 19, { command: 'message-saved', i: 19, id: 1 }],
			['projector', 0, { command: 'projector', on: 0, id: 1 }],
			['message', '', { command: 'message', text: '', id: 1 }],
			['message', '時'.repeat(80), { command: 'message', text: '時'.repeat(80), id: 1 }],
		]
		for (const [name, value, frame] of accepted) assert.deepEqual(JSON.parse(commandFrame(name, value, 1)), frame, name)
	})

	it('are refused here as the program would refuse them', () => {
		const refused = [
			['adjust', 601, /by is a whole number from -600 to 600/],
			['adjust', 1.5, /whole number/],
			['adjust', '', /whole number/],
			['adjust', undefined, /whole number/],
			['goto', 0, /n is a whole number from 1 to 200/],
			['message-saved', 20, /i is a whole number from 0 to 19/],
			['mask', 2, /on is a whole number from 0 to 1/],
			['message', 'x'.repeat(81), /at most 80 characters/],
			['launch', undefined, /no such command/],
		]
		for (const [name, value, reason] of refused) assert.throws(() => commandFrame(name, value, 1), reason, `${name} ${value}`)
	})

	it('fit the program\'s 1024 bytes at the longest message, counted in code points', () => {
		for (const character of ['😀', '\u0001', '"']) {
			const frame = commandFrame('message', character.repeat(80), Number.MAX_SAFE_INTEGER)
			assert.ok(Buffer.byteLength(frame) <= 1024, `${JSON.stringify(character)}: ${Buffer.byteLength(frame)} bytes`)
		}
	})
})

describe('what the program sends', () => {
	it('is told apart: a reply has "reply", the state has none', () => {
		assert.deepEqual(readFrame('{"reply":7,"status":409,"reason":"not while the clock runs"}'), {
			kind: 'reply', id: 7, status: 409, reason: 'not while the clock runs',
		})
		assert.deepEqual(readFrame('{"reply":"a","status":204}'), { kind: 'reply', id: 'a', status: 204, reason: '' })
		assert.equal(readFrame('{"state":"running","remaining":3}').state.remaining, 3)
		for (const garbage of ['', 'nonsense', '[1]', 'null', '7']) assert.equal(readFrame(garbage), null, garbage)
	})

	it('words the schedule as the program does, in whole minutes towards zero', () => {
		const rows = [[0, '予定どおり'], [59, '予定どおり'], [-59, '予定どおり'], [60, '予定より 1分 遅れ'],
			[119, '予定より 1分 遅れ'], [-180, '予定より 3分 早い'], [-239, '予定より 3分 早い'], [3600, '予定より 60分 遅れ']]
		for (const [seconds, words] of rows) assert.equal(scheduleInWords(seconds), words, String(seconds))
	})

	it('lights over-time past zero, as the program words it (超過中), and a message while one is shown', () => {
		const rows = [
			[{ state: 'running', remaining: 0, message: null }, ['running']],
			[{ state: 'running', remaining: -1, message: '' }, ['running', 'over_time']],
			[{ state: 'paused', remaining: -30, message: 'x' }, ['paused', 'over_time', 'message_shown']],
			[{ state: 'setup', remaining: null, message: null }, []],
		]
		for (const [state, lit] of rows)
			assert.deepEqual(Object.keys(CONDITIONS).filter((id) => CONDITIONS[id](state)), lit, JSON.stringify(state))
	})

	it('passes a bell once the talk started and the time left reached it', () => {
		assert.deepEqual(['2:00', '0:30', '12:05', ' 0:00 ', '2:60', '2', '', undefined].map(bellSeconds),
			[120, 30, 725, 0, null, null, null, null])
		const rows = [
			[{ state: 'setup', remaining: 100 }, 120, false],
			[{ state: 'running', remaining: 121 }, 120, false],
			[{ state: 'running', remaining: 120 }, 120, true],
			[{ state: 'paused', remaining: -5 }, 0, true],
			[{ state: 'running', remaining: null }, 120, false],
			[{ state: 'running', remaining: 10 }, null, false],
		]
		for (const [state, at, passed] of rows) assert.equal(bellPassed(state, at), passed, JSON.stringify([state, at]))
	})

	it('gives the display\'s colours to a button, grey without the program', () => {
		assert.deepEqual(displayStyle({ background: '#FF0000', foreground: '#ffffff' }), { bgcolor: 0xff0000, color: 0xffffff })
		assert.deepEqual(displayStyle({ background: '#000000', foreground: 'green' }), { bgcolor: 0 })
		assert.deepEqual(displayStyle(null), UNREACHED_STYLE)
	})
})

describe('connection settings', () => {
	it('take the fields, or a pasted control address', () => {
		const rows = [
			[{ host: ' 10.1.2.3 ', port: 8760, token: ' abc ' }, { host: '10.1.2.3', port: 8760, token: 'abc' }],
			[{ host: '127.0.0.1', port: 8760, token: 'http://192.0.2.7:9000/control?t=Xy_-9' }, { host: '192.0.2.7', port: 9000, token: 'Xy_-9' }],
			[{ host: 'a', port: 1, token: 'http://[::1]/control?t=T' }, { host: '::1', port: 1, token: 'T' }],
		]
		for (const [config, settings] of rows) assert.deepEqual(readConfig(config).settings, settings, JSON.stringify(config))
		const problems = [
			[{ host: '', port: 8760, token: 'a' }, /no host/],
			[{ host: 'h', port: 0, token: 'a' }, /port/],
			[{ host: 'h', port: 8760.5, token: 'a' }, /port/],
			[{ host: 'h', port: 8760, token: '' }, /no control token/],
			[{ host: 'h', port: 8760, token: 'http://h:1/control' }, /no control token/],
			[{ host: 'h', port: 8760, token: 'a b' }, /space/],
		]
		for (const [config, problem] of problems) assert.match(readConfig(config).problem ?? '', problem, JSON.stringify(config))
	})
})

it('waits 0.5 s after a failure, doubling to 10 s, and from 0.5 s again once connected', () => {
	const backoff = new Backoff()
	assert.deepEqual(Array.from({ length: 8 }, () => backoff.next()), [500, 1000, 2000, 4000, 8000, 10000, 10000, 10000])
	backoff.reset()
	assert.equal(backoff.next(), 500)
})
