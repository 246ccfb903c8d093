-- The demo database that scripts/start creates for a first look at the
-- program: a small trading company, a few thousand rows in all. Every row is
-- computed from its number, so each run builds the same data.
--
--   sqlite3 demo.sqlite < scripts/demo-database.sql

PRAGMA foreign_keys = ON;
BEGIN;

CREATE TABLE categories (
  category_id   INTEGER PRIMARY KEY,
  name          VARCHAR(40) NOT NULL UNIQUE,
  description   VARCHAR(200)
);

INSERT INTO categories (category_id, name, description) VALUES
  (1, 'Beverages', 'Coffee, tea, juices and mineral water'),
  (2, 'Bakery', 'Bread, rolls and pastries, baked daily'),
  (3, 'Dairy', 'Milk, cheese, yoghurt and butter'),
  (4, 'Produce', 'Fresh fruit and vegetables'),
  (5, 'Pantry', 'Pasta, rice, flour, oils and spices'),
  (6, 'Frozen', 'Frozen vegetables, fish and desserts'),
  (7, 'Household', 'Cleaning supplies and paper goods'),
  (8, 'Confectionery', 'Chocolate, sweets and biscuits');

CREATE TABLE employees (
  employee_id   INTEGER PRIMARY KEY,
  first_name    VARCHAR(40) NOT NULL,
  last_name     VARCHAR(40) NOT NULL,
  title         VARCHAR(60) NOT NULL,
  email         VARCHAR(80),
  hire_date     DATE NOT NULL,
  salary        DECIMAL(10,2) NOT NULL,
  manager_id    INTEGER REFERENCES employees (employee_id)
);

CREATE TABLE customers (
  customer_id   INTEGER PRIMARY KEY,
  company       VARCHAR(80) NOT NULL,
  contact_name  VARCHAR(80) NOT NULL,
  street        VARCHAR(80),
  city          VARCHAR(40) NOT NULL,
  postal_code   VARCHAR(10),
  country       VARCHAR(40) NOT NULL,
  phone         VARCHAR(24),
  credit_limit  DECIMAL(10,2) NOT NULL DEFAULT 0,
  active        INTEGER NOT NULL DEFAULT 1
);

CREATE TABLE products (
  product_id    INTEGER PRIMARY KEY,
  name          VARCHAR(80) NOT NULL,
  category_id   INTEGER NOT NULL REFERENCES categories (category_id),
  unit          VARCHAR(20) NOT NULL,
  unit_price    DECIMAL(10,2) NOT NULL,
  in_stock      INTEGER NOT NULL,
  discontinued  INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE orders (
  order_id      INTEGER PRIMARY KEY,
  customer_id   INTEGER NOT NULL REFERENCES customers (customer_id),
  employee_id   INTEGER NOT NULL REFERENCES employees (employee_id),
  order_date    DATE NOT NULL,
  shipped_date  DATE,
  status        VARCHAR(12) NOT NULL,
  notes         VARCHAR(200)
);

CREATE TABLE order_lines (
  order_id      INTEGER NOT NULL REFERENCES orders (order_id),
  line_no       INTEGER NOT NULL,
  product_id    INTEGER NOT NULL REFERENCES products (product_id),
  quantity      INTEGER NOT NULL,
  unit_price    DECIMAL(10,2) NOT NULL,
  discount      DECIMAL(4,2) NOT NULL DEFAULT 0,
  PRIMARY KEY (order_id, line_no)
);

-- A table whose name has a space, to show that names are quoted.
CREATE TABLE "supplier contacts" (
  contact_id    INTEGER PRIMARY KEY,
  supplier      VARCHAR(80) NOT NULL,
  contact_name  VARCHAR(80) NOT NULL,
  phone         VARCHAR(24),
  email         VARCHAR(80)
);

-- Bookkeeping of the kind that the table list leaves out.
CREATE TABLE sys_audit (
  audit_id      INTEGER PRIMARY KEY,
  happened_at   TIMESTAMP NOT NULL,
  table_name    VARCHAR(40) NOT NULL,
  action        VARCHAR(10) NOT NULL,
  row_key       INTEGER NOT NULL
);

-- Name pools that the generators below pick from by row number.
CREATE TEMP TABLE first_names (pos INTEGER PRIMARY KEY, name TEXT);
INSERT INTO first_names (pos, name) VALUES
  (0, 'Anna'), (1, 'Ben'), (2, 'Clara'), (3, 'David'), (4, 'Elena'), (5, 'Felix'),
  (6, 'Greta'), (7, 'Hugo'), (8, 'Ines'), (9, 'Jonas'), (10, 'Katrin'), (11, 'Lukas'),
  (12, 'Maria'), (13, 'Noah'), (14, 'Olivia'), (15, 'Paul'), (16, 'Rosa'), (17, 'Samuel'),
  (18, 'Tessa'), (19, 'Viktor');

CREATE TEMP TABLE last_names (pos INTEGER PRIMARY KEY, name TEXT);
INSERT INTO last_names (pos, name) VALUES
  (0, 'Andersen'), (1, 'Becker'), (2, 'Costa'), (3, 'Dubois'), (4, 'Eriksen'),
  (5, 'Fischer'), (6, 'Garcia'), (7, 'Hansen'), (8, 'Ivanova'), (9, 'Jansen'),
  (10, 'Kowalski'), (11, 'Lindqvist'), (12, 'Moreau'), (13, 'Nowak'), (14, 'O''Brien'),
  (15, 'Petrov'), (16, 'Quinn'), (17, 'Rossi'), (18, 'Schmidt'), (19, 'Tanaka'),
  (20, 'Urban'), (21, 'Vogel'), (22, 'Weber'), (23, 'Young');

CREATE TEMP TABLE cities (pos INTEGER PRIMARY KEY, city TEXT, country TEXT, prefix TEXT);
INSERT INTO cities (pos, city, country, prefix) VALUES
  (0, 'Hamburg', 'Germany', '+49 40'), (1, 'Lyon', 'France', '+33 4'),
  (2, 'Porto', 'Portugal', '+351 22'), (3, 'Gothenburg', 'Sweden', '+46 31'),
  (4, 'Rotterdam', 'Netherlands', '+31 10'), (5, 'Gdańsk', 'Poland', '+48 58'),
  (6, 'Bologna', 'Italy', '+39 051'), (7, 'Aarhus', 'Denmark', '+45 8'),
  (8, 'Graz', 'Austria', '+43 316'), (9, 'Cork', 'Ireland', '+353 21'),
  (10, 'Valencia', 'Spain', '+34 96'), (11, 'Tampere', 'Finland', '+358 3');

CREATE TEMP TABLE company_words (pos INTEGER PRIMARY KEY, word TEXT);
INSERT INTO company_words (pos, word) VALUES
  (0, 'Harbour'), (1, 'Linden'), (2, 'North Star'), (3, 'Green Valley'), (4, 'Old Mill'),
  (5, 'Riverside'), (6, 'Blue Hill'), (7, 'Corner'), (8, 'Sunrise'), (9, 'Market Square'),
  (10, 'Oak Tree'), (11, 'Seaside'), (12, 'Station'), (13, 'Meadow');

CREATE TEMP TABLE company_kinds (pos INTEGER PRIMARY KEY, kind TEXT);
INSERT INTO company_kinds (pos, kind) VALUES
  (0, 'Grocers'), (1, 'Deli'), (2, 'Café'), (3, 'Market'), (4, 'Bistro'),
  (5, 'Provisions'), (6, 'Kitchen'), (7, 'Trading Co.');

CREATE TEMP TABLE product_words (category_id INTEGER, pos INTEGER, word TEXT, unit TEXT, base REAL);
INSERT INTO product_words (category_id, pos, word, unit, base) VALUES
  (1, 0, 'Espresso Beans', 'kg', 18.5), (1, 1, 'Green Tea', 'box', 4.2), (1, 2, 'Apple Juice', 'l', 2.1),
  (1, 3, 'Sparkling Water', 'crate', 6.9), (1, 4, 'Cocoa Drink', 'tin', 5.4),
  (2, 0, 'Rye Bread', 'loaf', 3.1), (2, 1, 'Butter Croissant', 'piece', 1.2), (2, 2, 'Seeded Rolls', 'bag', 2.6),
  (2, 3, 'Cinnamon Bun', 'piece', 1.8), (2, 4, 'Sourdough', 'loaf', 4.4),
  (3, 0, 'Whole Milk', 'l', 1.1), (3, 1, 'Aged Gouda', 'kg', 16.9), (3, 2, 'Greek Yoghurt', 'cup', 1.6),
  (3, 3, 'Salted Butter', 'pack', 2.9), (3, 4, 'Cream Cheese', 'tub', 2.3),
  (4, 0, 'Apples', 'kg', 2.4), (4, 1, 'Carrots', 'kg', 1.3), (4, 2, 'Tomatoes', 'kg', 3.2),
  (4, 3, 'Lemons', 'net', 2.0), (4, 4, 'Potatoes', 'sack', 4.8),
  (5, 0, 'Spaghetti', 'pack', 1.4), (5, 1, 'Basmati Rice', 'kg', 3.6), (5, 2, 'Olive Oil', 'bottle', 8.9),
  (5, 3, 'Wheat Flour', 'kg', 1.0), (5, 4, 'Paprika', 'jar', 2.7),
  (6, 0, 'Garden Peas', 'bag', 2.2), (6, 1, 'Cod Fillets', 'box', 9.8), (6, 2, 'Vanilla Ice Cream', 'tub', 4.6),
  (6, 3, 'Spinach', 'bag', 1.9), (6, 4, 'Berry Mix', 'bag', 3.9),
  (7, 0, 'Dish Soap', 'bottle', 2.5), (7, 1, 'Paper Towels', 'pack', 3.3), (7, 2, 'Laundry Powder', 'box', 7.9),
  (7, 3, 'Sponges', 'pack', 1.5), (7, 4, 'Bin Bags', 'roll', 2.8),
  (8, 0, 'Dark Chocolate', 'bar', 2.2), (8, 1, 'Butter Biscuits', 'pack', 1.9), (8, 2, 'Liquorice', 'bag', 1.7),
  (8, 3, 'Fruit Gums', 'bag', 1.5), (8, 4, 'Praline Box', 'box', 11.5);

CREATE TEMP TABLE product_grades (pos INTEGER PRIMARY KEY, grade TEXT, factor REAL);
INSERT INTO product_grades (pos, grade, factor) VALUES
  (0, 'Classic', 1.0), (1, 'Organic', 1.35), (2, 'Family Size', 1.8), (3, 'Premium', 1.6);

-- 60 employees: one managing director, five heads who report to her, and
-- staff who report to the heads.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
INSERT INTO employees (employee_id, first_name, last_name, title, email, hire_date, salary, manager_id)
SELECT i,
       f.name,
       l.name,
       CASE WHEN i = 1 THEN 'Managing Director'
            WHEN i <= 6 THEN 'Head of ' || (SELECT name FROM categories WHERE category_id = i - 1)
            WHEN i % 3 = 0 THEN 'Sales Representative'
            WHEN i % 3 = 1 THEN 'Warehouse Clerk'
            ELSE 'Account Manager' END,
       lower(f.name) || '.' || lower(replace(l.name, '''', '')) || '@quorvane-demo.example',
       date('2012-01-09', '+' || ((i * 53) % 3650) || ' days'),
       round(CASE WHEN i = 1 THEN 98000 WHEN i <= 6 THEN 72000 ELSE 38000 + (i * 377) % 21000 END, 2),
       CASE WHEN i = 1 THEN NULL WHEN i <= 6 THEN 1 ELSE 2 + i % 5 END
FROM n
JOIN first_names f ON f.pos = (i * 7) % 20
JOIN last_names l ON l.pos = (i * 11) % 24;

-- 500 customers.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)
INSERT INTO customers (customer_id, company, contact_name, street, city, postal_code, country, phone,
                       credit_limit, active)
SELECT i,
       w.word || ' ' || k.kind || CASE WHEN i > 112 THEN ' ' || c.city ELSE '' END,
       f.name || ' ' || l.name,
       CASE WHEN i % 17 = 0 THEN NULL ELSE (1 + (i * 31) % 180) || ' ' || w.word || ' Street' END,
       c.city,
       CASE WHEN i % 17 = 0 THEN NULL ELSE printf('%05d', (i * 7919) % 100000) END,
       c.country,
       CASE WHEN i % 9 = 0 THEN NULL ELSE c.prefix || ' ' || printf('%07d', (i * 104729) % 10000000) END,
       (1 + i % 10) * 500.0,
       CASE WHEN i % 23 = 0 THEN 0 ELSE 1 END
FROM n
JOIN company_words w ON w.pos = i % 14
JOIN company_kinds k ON k.pos = (i / 14) % 8
JOIN cities c ON c.pos = (i * 5) % 12
JOIN first_names f ON f.pos = (i * 3) % 20
JOIN last_names l ON l.pos = (i * 13) % 24;

-- 160 products: every word of every category in four grades.
INSERT INTO products (product_id, name, category_id, unit, unit_price, in_stock, discontinued)
SELECT (w.category_id - 1) * 20 + g.pos * 5 + w.pos + 1,
       w.word || ' ' || g.grade,
       w.category_id,
       w.unit,
       round(w.base * g.factor, 2),
       ((w.category_id * 37 + g.pos * 11 + w.pos * 5) * 13) % 400,
       CASE WHEN (w.category_id + g.pos + w.pos) % 19 = 0 THEN 1 ELSE 0 END
FROM product_words w CROSS JOIN product_grades g
ORDER BY 1;

-- 1,500 orders over three years.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500)
INSERT INTO orders (order_id, customer_id, employee_id, order_date, shipped_date, status, notes)
SELECT 10000 + i,
       1 + (i * 37) % 500,
       7 + (i * 11) % 54,
       date('2022-01-03', '+' || ((i * 1095) / 1500) || ' days'),
       CASE WHEN i > 1460 OR i % 41 = 0 THEN NULL
            ELSE date('2022-01-03', '+' || ((i * 1095) / 1500 + 1 + i % 6) || ' days') END,
       CASE WHEN i % 41 = 0 THEN 'cancelled' WHEN i > 1460 THEN 'open' ELSE 'shipped' END,
       CASE WHEN i % 29 = 0 THEN 'Deliver to the back door'
            WHEN i % 31 = 0 THEN 'Call before delivery'
            ELSE NULL END
FROM n;

-- One to five lines per order: about 4,500 lines.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500),
     lines(i, line_no) AS (
       SELECT i, 1 FROM n
       UNION ALL
       SELECT i, line_no + 1 FROM lines WHERE line_no < 1 + (i * 7) % 5
     )
INSERT INTO order_lines (order_id, line_no, product_id, quantity, unit_price, discount)
SELECT 10000 + lines.i,
       line_no,
       p.product_id,
       1 + (lines.i * 3 + line_no * 7) % 24,
       p.unit_price,
       CASE WHEN (lines.i + line_no) % 10 = 0 THEN 0.05 WHEN (lines.i + line_no) % 25 = 0 THEN 0.10 ELSE 0 END
FROM lines
JOIN products p ON p.product_id = 1 + (lines.i * 13 + line_no * 41) % 160;

-- 40 supplier contacts.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)
INSERT INTO "supplier contacts" (contact_id, supplier, contact_name, phone, email)
SELECT i,
       w.word || ' Wholesale',
       f.name || ' ' || l.name,
       c.prefix || ' ' || printf('%07d', (i * 65537) % 10000000),
       'orders@' || lower(replace(w.word, ' ', '-')) || '-wholesale.example'
FROM n
JOIN company_words w ON w.pos = (i * 3) % 14
JOIN first_names f ON f.pos = (i * 9) % 20
JOIN last_names l ON l.pos = (i * 5) % 24
JOIN cities c ON c.pos = (i * 7) % 12;

-- 300 audit entries.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO sys_audit (audit_id, happened_at, table_name, action, row_key)
SELECT i,
       datetime('2024-03-01 08:00:00', '+' || (i * 1877) || ' minutes'),
       CASE i % 4 WHEN 0 THEN 'customers' WHEN 1 THEN 'orders' WHEN 2 THEN 'products' ELSE 'order_lines' END,
       CASE i % 3 WHEN 0 THEN 'INSERT' WHEN 1 THEN 'UPDATE' ELSE 'DELETE' END,
       1 + (i * 97) % 500
FROM n;

-- Order totals, for reading: a view, so the table list does not offer it.
CREATE VIEW order_totals AS
SELECT o.order_id,
       c.company,
       o.order_date,
       o.status,
       count(*) AS line_count,
       round(sum(l.quantity * l.unit_price * (1 - l.discount)), 2) AS total
FROM orders o
JOIN customers c ON c.customer_id = o.customer_id
JOIN order_lines l ON l.order_id = o.order_id
GROUP BY o.order_id;

CREATE INDEX orders_by_customer ON orders (customer_id);
CREATE INDEX order_lines_by_product ON order_lines (product_id);
CREATE INDEX products_by_category ON products (category_id);

COMMIT;
PRAGMA foreign_key_check;
